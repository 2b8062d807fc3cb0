"""Printing the test report: to a PDF file where the workstation has no printer, and
through a real print queue."""
import os
import re
import subprocess
import time

from flows import open_digital, save_file_dialog, start_program, wait_file, leave_digital
from harness import check, wait_for
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
    digital = open_digital(run, main)
    time.sleep(1.5)
    run.key(digital, "alt+p")
    vehicle = run.wait_window("VEHICLE TYPE")
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
    leave_digital(run, digital)
    check(p.poll() is None, "the program ended")
