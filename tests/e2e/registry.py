"""The scenarios by name, with their kind and about how long each takes."""
from dataclasses import dataclass
from typing import Callable

SCENARIOS = {}


@dataclass
class Scenario:
    fn: Callable
    kind: str
    expected_s: float


def scenario(kind="end-to-end", expected_s=5):
    def register(fn):
        SCENARIOS[fn.__name__] = Scenario(fn, kind, expected_s)
        return fn

    return register
