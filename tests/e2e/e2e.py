#!/usr/bin/env python3
"""End-to-end runs of the real program under a virtual X server, driven with xdotool as a
person would, talking over a pseudo-terminal to qova-analyser-sim.

Usage: e2e.py --qova BIN --sim BIN --out DIR [--jobs N] [--list] [scenario ...]
Each scenario runs in a fresh working folder under DIR and leaves its screenshots there.
QOVA_E2E_SKIP=1 in the environment skips the whole run (it then reports nothing run).
"""
import argparse
import os
import queue
import shutil
import sys
import tempfile
import threading
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Desktop, Failure, Run, Skipped, deadline  # noqa: E402
import scenarios_basic  # noqa: E402,F401
import scenarios_live  # noqa: E402,F401
import scenarios_faults  # noqa: E402,F401
import scenarios_files  # noqa: E402,F401
import scenarios_print  # noqa: E402,F401
import scenarios_history  # noqa: E402,F401
import scenarios_store  # noqa: E402,F401
import scenarios_unplug  # noqa: E402,F401
import scenarios_network  # noqa: E402,F401
import scenarios_check  # noqa: E402,F401
from registry import SCENARIOS  # noqa: E402

# A scenario that takes longer than this has hung; its processes are ended. Its steps'
# deadlines stretch on a busy machine, and so does this.
SCENARIO_LIMIT_S = deadline(90)


def run_one(args, desktop, name):
    run = Run(args, desktop, name)
    watchdog = threading.Timer(SCENARIO_LIMIT_S, run.close)
    watchdog.start()
    started = time.time()
    try:
        SCENARIOS[name].fn(run)
        status, detail = "PASS", ""
    except Skipped as e:
        status, detail = "SKIP", str(e)
    except Exception as e:  # a scenario's failure must not stop the others
        try:
            run.screenshot("failure")
        except Exception:
            pass
        status = "FAIL"
        detail = str(e) if isinstance(e, Failure) else traceback.format_exc()
        if run.closed:
            detail += f" (ended by the {SCENARIO_LIMIT_S:.0f} s limit)"
    finally:
        watchdog.cancel()
        run.close()
    return status, detail, time.time() - started, run.notes


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--qova")
    ap.add_argument("--sim")
    ap.add_argument("--out", default=None)
    ap.add_argument("--jobs", type=int, default=int(os.environ.get("QOVA_E2E_JOBS", "3")))
    ap.add_argument("--list", action="store_true")
    ap.add_argument("scenarios", nargs="*")
    args = ap.parse_args()
    if args.list:
        for name, s in SCENARIOS.items():
            print(f"{name:48} {s.kind}")
        return 0
    if not args.qova or not args.sim:
        ap.error("--qova and --sim are needed")
    if os.environ.get("QOVA_E2E_SKIP"):
        print("e2e: skipped (QOVA_E2E_SKIP is set)")
        return 0
    args.out = os.path.abspath(args.out or tempfile.mkdtemp(prefix="qova-e2e-"))
    args.qova, args.sim = os.path.abspath(args.qova), os.path.abspath(args.sim)
    for tool in ("Xvfb", "xdotool", "import", "pdftotext", "tesseract"):
        if shutil.which(tool) is None:
            print(f"{tool} is not installed; the end-to-end runs need xvfb, xdotool, imagemagick, poppler-utils "
                  "and tesseract-ocr")
            return 1
    unknown = [n for n in args.scenarios if n not in SCENARIOS]
    if unknown:
        print(f"no such scenario: {', '.join(unknown)}")
        return 1
    # The longest first, so the workers finish together.
    names = sorted(args.scenarios or list(SCENARIOS), key=lambda n: -SCENARIOS[n].expected_s)
    todo = queue.Queue()
    for n in names:
        todo.put(n)
    results = {}
    lock = threading.Lock()
    started = time.time()

    def worker():
        desktop = Desktop()
        try:
            desktop.start()
        except Failure as e:
            with lock:
                print(f"worker: {e}", flush=True)
            return
        try:
            while True:
                try:
                    name = todo.get_nowait()
                except queue.Empty:
                    return
                status, detail, took, notes = run_one(args, desktop, name)
                with lock:
                    results[name] = status
                    line = f"{status} {name} ({took:.1f} s)"
                    if detail:
                        line += f": {detail}"
                    print(line, flush=True)
                    for n in notes:
                        print(f"     {n}", flush=True)
        finally:
            desktop.stop()

    threads = [threading.Thread(target=worker) for _ in range(max(1, args.jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    missing = [n for n in names if n not in results]
    for n in missing:
        print(f"FAIL {n}: never ran")
    count = {k: sum(1 for n in names if results.get(n) == k) for k in ("PASS", "FAIL", "SKIP")}
    count["FAIL"] += len(missing)
    kinds = {}
    for n in names:
        if results.get(n) == "PASS":
            kinds[SCENARIOS[n].kind] = kinds.get(SCENARIOS[n].kind, 0) + 1
    print(f"e2e: {', '.join(f'{v} {k}' for k, v in sorted(kinds.items()))} passed "
          f"in {time.time() - started:.0f} s (screenshots under {args.out})")
    print(f"e2e: {count['PASS']} passed, {count['FAIL']} failed, {count['SKIP']} skipped")
    return 0 if count["FAIL"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
