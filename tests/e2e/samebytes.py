#!/usr/bin/env python3
"""Compares the bytes the simulated analyser received in two end-to-end runs, scenario by
scenario: python3 tests/e2e/samebytes.py OUT_BEFORE OUT_AFTER

Each scenario's sim*.log holds one line a byte with the time it came. Times, and so how
many polls fit into a scenario's waits, depend on the machine; what the program sends
besides does not. So a run of polls counts as one poll, the setup frame's clock (and so its
check word) is the workstation's time, and everything else must be the same byte for byte,
in the same order."""
import glob
import os
import sys

POLL = "0x11"
SETUP = "0x77"
# After the setup command: flags and mode, then six clock bytes and the check word.
SETUP_KEPT, SETUP_TIMED = 2, 8


def sequence(path):
    out = []
    timed = -1  # bytes of the setup frame still to come, once its command was seen
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) != 2:
                continue
            byte = parts[1]
            if timed >= 0:
                out.append(byte if timed >= SETUP_TIMED else "time")
                timed -= 1
                continue
            if byte == POLL and out and out[-1] == POLL:
                continue
            out.append(byte)
            if byte == SETUP:
                timed = SETUP_KEPT + SETUP_TIMED - 1
    return out


def logs(root):
    found = {}
    for path in glob.glob(os.path.join(root, "*", "sim*.log")):
        found[os.path.relpath(path, root)] = path
    return found


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    before, after = logs(sys.argv[1]), logs(sys.argv[2])
    differ = 0
    for name in sorted(set(before) | set(after)):
        if name not in before or name not in after:
            print(f"{name}: only in {'the first' if name in before else 'the second'} run")
            differ += 1
            continue
        a, b = sequence(before[name]), sequence(after[name])
        if a == b:
            print(f"{name}: same ({len(a)} bytes once polls are collapsed)")
        else:
            at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
            print(f"{name}: DIFFERS at byte {at}: {a[at:at + 6]} / {b[at:at + 6]}")
            differ += 1
    print(f"{len(set(before) | set(after)) - differ} same, {differ} differ")
    sys.exit(1 if differ else 0)


if __name__ == "__main__":
    main()
