#!/usr/bin/env python3
"""End-to-end runs of the real program under a virtual X server, driven with xdotool as a
person would, talking over a pseudo-terminal to qova-analyser-sim.

Usage: e2e.py --qova BIN --sim BIN --out DIR [scenario ...]
Each scenario runs in a fresh working folder under DIR and leaves its screenshots there.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


class Desktop:
    """One Xvfb display for the whole run."""

    def __init__(self):
        self.display = None
        self.proc = None

    def start(self):
        for n in range(90, 140):
            if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
                continue
            self.proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(100):
                if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                    self.display = f":{n}"
                    return
                time.sleep(0.05)
            self.proc.kill()
        raise Failure("could not start Xvfb")

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(5)


class Run:
    """The program, the simulated analyser and the helpers a scenario uses."""

    def __init__(self, args, desktop, name):
        self.args = args
        self.desktop = desktop
        self.dir = os.path.join(args.out, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.work = os.path.join(self.dir, "work")
        os.makedirs(self.work)
        # Each scenario has its own temporary folder, so the single-instance lock of one
        # never meets another's.
        self.env = dict(os.environ, DISPLAY=desktop.display, QT_QPA_PLATFORM="xcb", TMPDIR=self.dir)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.sim = None
        self.sim_log = os.path.join(self.dir, "sim.log")
        self.procs = []

    # --- the simulated analyser
    def start_sim(self, *extra):
        self.sim = subprocess.Popen([self.args.sim, "--log", self.sim_log, "--seed", "7", *extra],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        path = self.sim.stdout.readline().strip()
        check(path.startswith("/dev/"), f"simulator printed {path!r} instead of a device path")
        self.env["QOVA_COM1"] = path
        return path

    def sim_received(self):
        """Bytes the simulator logged as received, in order."""
        out = []
        if not os.path.exists(self.sim_log):
            return out
        with open(self.sim_log) as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2:
                    try:
                        out.append(int(parts[1], 16))
                    except ValueError:
                        pass
        return out

    # --- the program
    def start_qova(self):
        p = subprocess.Popen([self.args.qova], cwd=self.work, env=self.env,
                             stdout=open(os.path.join(self.dir, "qova.out"), "w"), stderr=subprocess.STDOUT)
        self.procs.append(p)
        return p

    def xdo(self, *a, check_rc=True):
        r = subprocess.run(["xdotool", *a], env=self.env, capture_output=True, text=True)
        if check_rc and r.returncode != 0:
            raise Failure(f"xdotool {' '.join(a)} failed: {r.stderr.strip()}")
        return r.stdout.strip()

    def wait_window(self, name, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"], env=self.env,
                               capture_output=True, text=True)
            ids = r.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.1)
        raise Failure(f"no window named {name!r} within {timeout} s")

    def key(self, window, *keys):
        # No window manager runs here: focus the window ourselves, then type through XTEST,
        # which the program cannot tell from a keyboard (synthetic events it might ignore).
        self.xdo("windowfocus", "--sync", window, check_rc=False)
        time.sleep(0.1)
        self.xdo("key", "--clearmodifiers", *keys)

    def screenshot(self, name):
        path = os.path.join(self.dir, f"{name}.png")
        subprocess.run(["import", "-display", self.desktop.display, "-window", "root", path], env=self.env,
                       capture_output=True)
        return path

    def close(self):
        for p in self.procs:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        if self.sim and self.sim.poll() is None:
            self.sim.send_signal(signal.SIGTERM)
            try:
                self.sim.wait(5)
            except subprocess.TimeoutExpired:
                self.sim.kill()


SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


@scenario
def startup_caption(run):
    with open(os.path.join(run.work, "SETUP.EA2"), "wb") as f:
        f.write(b"PORT=3")
    p = run.start_qova()
    run.wait_window("QOVA    COM3")
    run.screenshot("main")
    check(p.poll() is None, "the program ended on its own")


@scenario
def second_copy_says_already_running(run):
    first = run.start_qova()
    run.wait_window("QOVA    COM1")
    second = run.start_qova()
    box = run.wait_window("Already Running")
    run.screenshot("already_running")
    run.key(box, "Return")
    check(second.wait(10) == 0, "the second copy did not end with exit code 0")
    check(first.poll() is None, "the first copy was affected")
    # The first copy's window is still the only main window.
    run.wait_window("QOVA    COM1")


@scenario
def stale_lock_of_a_killed_copy_does_not_block(run):
    first = run.start_qova()
    run.wait_window("QOVA    COM1")
    first.kill()
    first.wait()
    second = run.start_qova()
    run.wait_window("QOVA    COM1")
    check(second.poll() is None, "a copy started after a crash did not start")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--qova", required=True)
    ap.add_argument("--sim", required=True)
    ap.add_argument("--out", default=tempfile.mkdtemp(prefix="qova-e2e-"))
    ap.add_argument("scenarios", nargs="*")
    args = ap.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print(f"{tool} is not installed; the end-to-end runs need xvfb and xdotool")
            return 1
    names = args.scenarios or list(SCENARIOS)
    desktop = Desktop()
    desktop.start()
    passed = failed = 0
    try:
        for name in names:
            run = Run(args, desktop, name)
            try:
                SCENARIOS[name](run)
                print(f"PASS {name}")
                passed += 1
            except Exception as e:  # a scenario's failure must not stop the others
                run.screenshot("failure")
                print(f"FAIL {name}: {e}")
                if not isinstance(e, Failure):
                    traceback.print_exc()
                failed += 1
            finally:
                run.close()
    finally:
        desktop.stop()
    print(f"e2e: {passed} passed, {failed} failed (screenshots under {args.out})")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
