"""Printing the test report: to a PDF file where the workstation has no printer, and
through a real print queue."""
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

from flows import leave_digital, open_from_digital, save_file_dialog, start_program, wait_file
from harness import Skipped, check, deadline, end_process, wait_for
from registry import scenario


def pdf_text(path):
    r = subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True, timeout=30)
    check(r.returncode == 0, f"pdftotext failed on {path}: {r.stderr.strip()}")
    return r.stdout


def check_report_text(text):
    text = re.sub(r"[ \t]+", " ", text)  # the layout of the text spaces words by their place
    for want in ("EXHAUST EMISSIONS TEST REPORT", "VEHICLE TYPE MODEL: FORD ESCORT",
                 "VEHICLE REGISTRATION NUMBER: J123ABC", "FUEL TYPE: PETROL", "MEASURED VALUES:",
                 "Carbon Monoxide", "CALCULATED VALUE:", "TESTED BY:", "COMMENTS:"):
        check(want in text, f"the report lacks {want!r}")
    # Clean air in the bench while the analyser counts down: about 20.9 % oxygen.
    o2 = re.search(r"Oxygen\s+(\d+\.\d\d)%", text)
    check(o2 and 20.0 <= float(o2.group(1)) <= 21.5, f"oxygen reads {o2.group(0) if o2 else 'nothing'}")


@scenario(expected_s=8)
def print_report_to_pdf_without_printer(run):
    run.start_sim("--power-up", "60000")
    p, main = start_program(run)
    digital, vehicle = open_from_digital(run, main, "alt+p", "VEHICLE TYPE")
    run.screenshot("vehicle")
    run.key(vehicle, "alt+o")
    pdf = os.path.join(run.dir, "report.pdf")
    save_file_dialog(run, "No printer: save the page as PDF", pdf)
    wait_file(pdf)
    text = pdf_text(pdf)
    check_report_text(text)
    reg = os.path.join(run.work, "J123ABC.TXT")
    wait_file(reg, 5)
    with open(reg, encoding="latin-1") as f:
        check("EXHAUST EMISSIONS TEST REPORT" in f.read(), "the registration file lacks the report")
    leave_digital(run, digital, p)


class PrintQueue:
    """A CUPS scheduler of the scenario's own, on a socket of its own, with one cups-pdf
    queue that writes its PDF files into `out`."""

    def __init__(self, run, out):
        self.run = run
        self.out = out
        self.root = tempfile.mkdtemp(prefix="qova-cups-")  # short: a socket path has a limit
        self.socket = os.path.join(self.root, "cups.sock")
        self.instance = f"qovae2e{os.getpid()}{threading.get_ident() % 10000}"
        self.config = f"/etc/cups/cups-pdf-{self.instance}.conf"
        self.proc = None

    def start(self):
        cupsd = shutil.which("cupsd") or "/usr/sbin/cupsd"
        backend = "/usr/lib/cups/backend/cups-pdf"
        ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd"
        for need in (cupsd, backend, ppd):
            if not os.path.exists(need):
                raise Skipped(f"{need} is missing (packages cups-daemon, printer-driver-cups-pdf)")
        if os.geteuid() != 0:
            raise Skipped("the cups-pdf backend runs only under a scheduler started by root")
        r = self.root
        for d in ("spool", "spool/tmp", "cache", "state", "ppd", "log"):
            os.makedirs(os.path.join(r, d), exist_ok=True)
        os.chmod(os.path.join(r, "spool/tmp"), 0o1777)
        os.chmod(r, 0o755)
        with open(os.path.join(r, "cupsd.conf"), "w") as f:
            f.write(f"Listen {self.socket}\nLogLevel info\nBrowsing Off\nFatalErrors none\n"
                    "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                    "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n")
        with open(os.path.join(r, "cups-files.conf"), "w") as f:
            f.write(f"ServerRoot {r}\nRequestRoot {r}/spool\nTempDir {r}/spool/tmp\nCacheDir {r}/cache\n"
                    f"StateDir {r}/state\nErrorLog {r}/log/error_log\nAccessLog {r}/log/access_log\n"
                    f"PageLog {r}/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n")
        # cups-pdf reads its settings from /etc/cups only; this instance has a file of its own.
        try:
            with open(self.config, "w") as f:
                f.write(f"Out {self.out}\nSpool {r}/cups-pdf-spool\nLog {r}/log\nGrp root\n")
        except OSError as e:
            raise Skipped(f"cannot write {self.config}: {e}")
        self.run.services.append(("cups", self.stop))
        self.proc = subprocess.Popen([cupsd, "-f", "-c", f"{r}/cupsd.conf", "-s", f"{r}/cups-files.conf"],
                                     stdout=subprocess.DEVNULL, stderr=open(f"{r}/log/cupsd.out", "w"))
        env = dict(os.environ, CUPS_SERVER=self.socket)
        end = time.time() + deadline(10)
        while time.time() < end:
            if self.proc.poll() is not None:
                break
            if os.path.exists(self.socket) and subprocess.run(["lpstat", "-r"], env=env, capture_output=True,
                                                              text=True).stdout.startswith("scheduler is running"):
                break
            time.sleep(0.2)
        else:
            self.proc.poll()
        if self.proc.poll() is not None or not os.path.exists(self.socket):
            raise Skipped(f"cupsd does not start here: {self.log_tail()}")
        # Rendered to PostScript by poppler's cairo back end, the page keeps fonts with a
        # text mapping, so the PDF the queue writes can be read back as text.
        for cmd in (["lpadmin", "-p", "QOVA_PDF", "-E", "-v", f"cups-pdf:/{self.instance}", "-P", ppd,
                     "-o", "pdftops-renderer-default=pdftocairo"], ["lpadmin", "-d", "QOVA_PDF"]):
            r2 = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=30)
            check(r2.returncode == 0, f"{' '.join(cmd)}: {r2.stderr.strip()}")
        return self.socket

    def log_tail(self):
        for name in ("cupsd.out", "error_log"):
            path = os.path.join(self.root, "log", name)
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    lines = [l.strip() for l in f if l.strip()]
                if lines:
                    return " | ".join(lines[-3:])
        return "no log"

    def stop(self):
        if self.proc:
            end_process(self.proc, timeout=10)
        if os.path.exists(self.config):
            os.remove(self.config)
        # Keep the scheduler's log with the scenario's files.
        shutil.copytree(os.path.join(self.root, "log"), os.path.join(self.run.dir, "cups-log"), dirs_exist_ok=True)
        shutil.rmtree(self.root, ignore_errors=True)


@scenario(expected_s=12)
def print_report_through_a_cups_queue(run):
    out = os.path.join(run.dir, "queue-output")
    os.makedirs(out)
    queue = PrintQueue(run, out)
    run.env["CUPS_SERVER"] = queue.start()
    run.start_sim("--power-up", "60000")
    p, main = start_program(run)
    digital, vehicle = open_from_digital(run, main, "alt+p", "VEHICLE TYPE")
    run.key(vehicle, "alt+o")
    pdfs = wait_for(lambda: [f for f in os.listdir(out) if f.endswith(".pdf")], 30,
                    f"the queue wrote no PDF; scheduler: {queue.log_tail()}", step=0.3)
    check(not run.windows("No printer: save the page as PDF"), "the program did not see the queue")
    pdf = os.path.join(out, pdfs[0])
    wait_file(pdf)
    run.screenshot("printed")
    check_report_text(pdf_text(pdf))
    run.note(f"the queue wrote {pdfs[0]}")
    leave_digital(run, digital, p)
