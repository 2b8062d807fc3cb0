"""What every end-to-end scenario uses: a virtual X server, the program, the simulated
analyser on a pseudo-terminal, xdotool for keys and clicks, screenshots, the clipboard
and the simulator's log of the bytes it received."""
import os
import pwd
import re
import shutil
import signal
import subprocess
import threading
import time


class Failure(Exception):
    pass


# On a busy machine the program does the same things later, never differently, so a step
# waits for what it expects to see and gives up only after a generous deadline: this many
# times what an idle machine needs. QOVA_E2E_PATIENCE overrides it.
PATIENCE = float(os.environ.get("QOVA_E2E_PATIENCE", "3"))


def deadline(seconds):
    """A step's deadline, for `seconds` on an idle machine."""
    return seconds * PATIENCE


class Skipped(Exception):
    """The machine cannot run the scenario (a service that does not start here)."""


def end_process(proc, timeout=5):
    """Asks `proc` to end and waits `timeout` s for it; then kills it."""
    if proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def check(cond, what):
    if not cond:
        raise Failure(what)


class Desktop:
    """One Xvfb display, shared by the scenarios one worker runs in turn."""

    _lock = threading.Lock()

    def __init__(self):
        self.display = None
        self.proc = None

    def start(self):
        with Desktop._lock:  # two workers must not pick the same free number
            for n in range(90, 190):
                if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
                    continue
                # No reset when the last client leaves: the next scenario's program would
                # find the server gone for a moment.
                self.proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                end = time.time() + deadline(10)
                while time.time() < end:
                    # The socket comes before the server takes clients: ask it something.
                    if os.path.exists(f"/tmp/.X11-unix/X{n}") and subprocess.run(
                            ["xdotool", "getdisplaygeometry"], env=dict(os.environ, DISPLAY=f":{n}"),
                            capture_output=True).returncode == 0:
                        self.display = f":{n}"
                        return
                    if self.proc.poll() is not None:
                        break
                    time.sleep(0.05)
                if self.proc.poll() is None:
                    self.proc.kill()
                    self.proc.wait()
        raise Failure("could not start Xvfb")

    def stop(self):
        if self.proc:
            end_process(self.proc)


NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]


class Sim:
    """One qova-analyser-sim process and its log."""

    def __init__(self, run, name, args):
        self.log = os.path.join(run.dir, f"{name}.log")
        self.proc = subprocess.Popen([run.args.sim, "--log", self.log, "--seed", "7", "--quiet", *args],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.path = self.proc.stdout.readline().strip()
        check(self.path.startswith("/dev/"), f"simulator printed {self.path!r} instead of a device path")
        # With a car's OBD adapter its address follows on the second line.
        self.obd = self.proc.stdout.readline().strip() if "--obd" in args else None
        self.inode = os.stat(self.path).st_ino
        # Scenarios run side by side. Once this analyser is unplugged its terminal's number
        # would be free for the next one started, and this scenario's program, still
        # retrying the old name, would open another scenario's analyser and take its
        # answers. Holding the terminal open keeps its number taken until the scenario
        # ends; the name itself still goes with the unplug, as a USB adapter's does.
        self.hold = os.open(self.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def received(self):
        """(milliseconds, byte) for every byte the simulator received, in order."""
        out = []
        if not os.path.exists(self.log):
            return out
        with open(self.log) as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2:
                    try:
                        out.append((int(parts[0]), int(parts[1], 16)))
                    except ValueError:
                        pass
        return out

    def bytes(self):
        return [b for _, b in self.received()]

    def replies(self):
        """What the program sent other than the poll command."""
        return [b for b in self.bytes() if b != 0x11]

    def polls(self):
        return self.bytes().count(0x11)

    def stop(self):
        clear_stale_lock(self.path)
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGCONT)  # a paused simulator could not end
            end_process(self.proc)
        if self.hold is not None:
            os.close(self.hold)
            self.hold = None

    def wait_gone(self, timeout):
        """Waits until the simulator has ended, as it does once its adapter is pulled out."""
        try:
            self.proc.wait(deadline(timeout))
        except subprocess.TimeoutExpired:
            raise Failure(f"the simulated analyser was still running after {deadline(timeout):.0f} s")

    def polls_since(self, ms):
        """Polls the simulator received at or after its own time `ms`."""
        return sum(1 for t, b in self.received() if b == 0x11 and t >= ms)


def clear_stale_lock(device):
    """Removes the serial lock file of `device` that a program ended by a signal left.
    A later program run as another user could not replace it and would find the port
    locked. Locks of live processes are left alone."""
    name = "LCK.." + device[len("/dev/"):].replace("/", "_") if device.startswith("/dev/") else None
    if not name:
        return
    for folder in ("/var/lock", "/run/lock", "/tmp"):
        path = os.path.join(folder, name)
        try:
            with open(path) as f:
                pid = int(f.readline().strip() or 0)
        except (OSError, ValueError):
            continue
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            try:
                os.remove(path)
            except OSError:
                pass
        except PermissionError:
            pass


def find_frame(data, command, payload):
    """The payload of the first frame `command` + payload + check word in `data` whose
    check word is right, else None."""
    for i, b in enumerate(data):
        if b != command or i + payload + 3 > len(data):
            continue
        body = data[i + 1:i + 1 + payload]
        word = data[i + 1 + payload] | (data[i + 2 + payload] << 8)
        if (sum(body) + word) % 65536 == 0:
            return body
    return None


def checksum_bytes(payload):
    word = (65536 - sum(payload) % 65536) % 65536
    return [word & 0xFF, word >> 8]


class Run:
    """The program, the simulated analysers and the helpers of one scenario."""

    def __init__(self, args, desktop, name):
        self.args = args
        self.desktop = desktop
        self.name = name
        self.dir = os.path.join(args.out, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.work = os.path.join(self.dir, "work")
        os.makedirs(self.work)
        # Each scenario has its own temporary and runtime folders, so the single-instance
        # lock of one never meets another's. CUPS_SERVER names no server: a scenario sees
        # the printers it starts itself and no others.
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(runtime, mode=0o700)
        os.chmod(runtime, 0o700)
        self.env = dict(os.environ, DISPLAY=desktop.display, QT_QPA_PLATFORM="xcb", TMPDIR=self.dir,
                        XDG_RUNTIME_DIR=runtime,
                        CUPS_SERVER=os.path.join(self.dir, "no-cups.sock"), LC_ALL="C.UTF-8", LANG="C.UTF-8",
                        XDG_DATA_HOME=os.path.join(self.dir, "data"))
        self.message_log = os.path.join(self.dir, "messages.log")
        self.env["QOVA_MESSAGE_LOG"] = self.message_log
        for var in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME", "SESSION_MANAGER"):
            self.env.pop(var, None)
        self.sims = []
        self.procs = []
        self.services = []  # (name, stop function)
        self.closed = False
        self.notes = []

    # --- the simulated analyser
    def start_sim(self, *extra, name=None):
        sim = Sim(self, name or f"sim{len(self.sims) + 1}", extra)
        self.sims.append(sim)
        self.env["QOVA_COM1"] = sim.path
        if sim.obd:
            self.env["QOVA_OBD"] = sim.obd
        return sim

    # --- the program
    def start_qova(self, unprivileged=False, env=None):
        e = dict(self.env, **(env or {}))
        for sim in self.sims:
            clear_stale_lock(sim.path)
        cmd = [self.args.qova]
        if unprivileged:
            nobody = pwd.getpwnam("nobody")
            home = os.path.join(self.dir, "home")
            os.makedirs(home, exist_ok=True)
            os.chown(home, nobody.pw_uid, nobody.pw_gid)
            os.chmod(self.dir, 0o777)  # the lock of the single-instance guard lives here
            open(self.message_log, "a").close()
            os.chmod(self.message_log, 0o666)
            e.update(HOME=home, XDG_RUNTIME_DIR=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
            cmd = NOBODY + cmd
        out = open(os.path.join(self.dir, f"qova{len(self.procs) + 1}.out"), "w")
        p = subprocess.Popen(cmd, cwd=self.work, env=e, stdout=out, stderr=subprocess.STDOUT)
        self.procs.append(p)
        return p

    def alive(self, p):
        return p.poll() is None

    # --- windows
    def xdo(self, *a, check_rc=True):
        r = subprocess.run(["xdotool", *a], env=self.env, capture_output=True, text=True, timeout=20)
        if check_rc and r.returncode != 0:
            raise Failure(f"xdotool {' '.join(a)} failed: {r.stderr.strip()}")
        return r.stdout.strip()

    def windows(self, name):
        """Visible windows whose whole caption is `name`."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(name)}$"],
                           env=self.env, capture_output=True, text=True, timeout=20)
        return r.stdout.split()

    def popups(self):
        """Every visible window of the display, menus among them (which have no caption)."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "."], env=self.env,
                           capture_output=True, text=True, timeout=20)
        return r.stdout.split()

    def wait_window(self, name, timeout=20, exclude=()):
        timeout = deadline(timeout)
        end = time.time() + timeout
        while time.time() < end and not self.closed:
            ids = [w for w in self.windows(name) if w not in exclude]
            if ids:
                return ids[0]
            time.sleep(0.1)
        raise Failure(f"no window named {name!r} within {timeout} s")

    def wait_gone(self, window, timeout=10):
        timeout = deadline(timeout)
        end = time.time() + timeout
        while time.time() < end and not self.closed:
            r = subprocess.run(["xdotool", "getwindowname", window], env=self.env, capture_output=True, text=True)
            visible = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ".*"], env=self.env,
                                     capture_output=True, text=True).stdout.split()
            if r.returncode != 0 or window not in visible:
                return
            time.sleep(0.1)
        raise Failure(f"window {window} still open after {timeout} s")

    def geometry(self, window):
        out = self.xdo("getwindowgeometry", "--shell", window)
        g = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])

    def focus(self, window):
        # No window manager runs here: focus the window ourselves, then type through XTEST,
        # which the program cannot tell from a keyboard (synthetic events it might ignore).
        self.xdo("windowfocus", "--sync", window, check_rc=False)
        time.sleep(0.1)

    def key(self, window, *keys):
        self.focus(window)
        self.xdo("key", "--clearmodifiers", "--delay", "60", *keys)
        time.sleep(0.15)

    def type(self, window, text):
        self.focus(window)
        self.xdo("type", "--clearmodifiers", "--delay", "15", text)
        time.sleep(0.1)

    def click(self, window, x, y):
        """Clicks at (x, y) inside `window`."""
        wx, wy, _, _ = self.geometry(window)
        self.focus(window)
        # A synchronous move to where the pointer already is waits 15 s for a motion that
        # never comes: step aside first, so there is always one.
        self.xdo("mousemove", str(wx + x + 1), str(wy + y))
        self.xdo("mousemove", "--sync", str(wx + x), str(wy + y))
        self.xdo("click", "1")
        time.sleep(0.15)

    def messages(self):
        """(milliseconds, caption, text, detail) of every message box the program opened,
        from the log it keeps when QOVA_MESSAGE_LOG names one."""
        out = []
        if os.path.exists(self.message_log):
            with open(self.message_log, encoding="utf-8") as f:
                for line in f:
                    parts = line.rstrip("\n").split("\t")
                    if len(parts) == 4:
                        out.append((int(parts[0]), parts[1], parts[2].replace("\\n", "\n"),
                                    parts[3].replace("\\n", "\n")))
        return out

    def message_texts(self):
        return [m[2] for m in self.messages()]

    def screenshot(self, name):
        path = os.path.join(self.dir, f"{name}.png")
        subprocess.run(["import", "-display", self.desktop.display, "-window", "root", path], env=self.env,
                       capture_output=True, timeout=30)
        return path

    def lit_fraction(self, png, x, y, w, h):
        """Share of the pixels in the rectangle that are lit segment green."""
        r = subprocess.run(["convert", png, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-fx",
                            "g>0.5 && r<0.4 && b<0.4", "-format", "%[fx:mean]", "info:"],
                           capture_output=True, text=True, timeout=60)
        check(r.returncode == 0, f"convert failed: {r.stderr.strip()}")
        return float(r.stdout.strip())

    def status_bar_text(self, window, png, height=22):
        """The text along the bottom `height` pixels of `window` in the screenshot `png`, as
        read by OCR: what the operator sees in the status bar."""
        x, y, w, h = self.geometry(window)
        big = png[:-4] + "_status.png"
        r = subprocess.run(["convert", png, "-crop", f"{w}x{height}+{x}+{y + h - height}", "+repage", "-colorspace",
                            "Gray", "-negate", "-resize", "400%", big], capture_output=True, text=True, timeout=60)
        check(r.returncode == 0, f"convert failed: {r.stderr.strip()}")
        r = subprocess.run(["tesseract", big, "-", "--psm", "7"], capture_output=True, text=True, timeout=60)
        check(r.returncode == 0, f"tesseract failed: {r.stderr.strip()}")
        return " ".join(r.stdout.split())

    # --- the program's use of the processor
    @staticmethod
    def cpu_seconds(pid):
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        # utime and stime are the 14th and 15th fields; the split began at the 3rd.
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def cpu_share(self, p, seconds):
        """Share of one processor the program used over `seconds` of real time."""
        c0, t0 = self.cpu_seconds(p.pid), time.time()
        time.sleep(seconds)
        c1, t1 = self.cpu_seconds(p.pid), time.time()
        return (c1 - c0) / (t1 - t0)

    def note(self, text):
        self.notes.append(text)

    def close(self):
        self.closed = True
        for p in self.procs:
            end_process(p)
        for sim in self.sims:
            sim.stop()
        for _, stop in reversed(self.services):
            try:
                stop()
            except Exception:  # a service that is already gone
                pass
        self.services.clear()


def wait_for(cond, timeout, what, step=0.1):
    """Waits until `cond` holds, at most deadline(timeout); returns what it gave."""
    timeout = deadline(timeout)
    end = time.time() + timeout
    while time.time() < end:
        v = cond()
        if v:
            return v
        time.sleep(step)
    raise Failure(f"{what} (waited {timeout} s)")
