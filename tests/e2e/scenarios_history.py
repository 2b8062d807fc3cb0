"""The test history: a printed report is found again in the History window, exported from
there as CSV, and read by another tool through the view test_results."""
import csv
import io
import os
import sqlite3

from flows import leave_digital, open_digital, save_file_dialog, start_program, wait_file
from harness import check, wait_for
from registry import scenario
from scenarios_print import pdf_text


@scenario(expected_s=14)
def printed_report_is_in_the_history(run):
    run.start_sim("--power-up", "60000")
    p, main = start_program(run)
    digital = open_digital(run, main)
    run.key(digital, "alt+p")
    vehicle = run.wait_window("VEHICLE TYPE")
    run.key(vehicle, "alt+o")
    pdf = os.path.join(run.dir, "report.pdf")
    save_file_dialog(run, "No printer: save the page as PDF", pdf)
    wait_file(pdf)
    printed = pdf_text(pdf)
    leave_digital(run, digital)

    # Another tool reads the history through the documented view.
    db = os.path.join(run.dir, "data", "Qovaks", "QOVA", "history.db")
    wait_file(db)
    con = sqlite3.connect(db)
    rows = con.execute("SELECT kind, registration, vehicle, co_pct, hc_ppm, verdict, taken_at "
                       "FROM test_results").fetchall()
    con.close()
    check(len(rows) == 1, f"test_results holds {len(rows)} rows, not the one report")
    kind, registration, vehicle_type, co_pct, hc_ppm, verdict, taken_at = rows[0]
    check((kind, registration, verdict) == ("report", "J123ABC", None), f"the row reads {rows[0]}")
    check(f"Carbon Monoxide {co_pct:.2f}%" in " ".join(printed.split()), f"the page does not show CO {co_pct:.2f}%")
    check(len(taken_at) == 25 and taken_at[19] in "+-", f"taken_at {taken_at} has no offset")

    # The History window finds it however the registration is typed, and exports what it lists.
    run.key(main, "ctrl+y")
    history = run.wait_window("History")
    run.type(history, "j123 abc")
    run.key(history, "Return")
    run.screenshot("history")
    run.key(history, "alt+e")
    out = os.path.join(run.dir, "tests.csv")
    save_file_dialog(run, "Export tests", out)
    wait_file(out)
    with open(out, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xef\xbb\xbfid,kind,taken_at,registration,"), "the CSV lacks its BOM and header")
    table = list(csv.reader(io.StringIO(data[3:].decode("utf-8"), newline="")))
    check(len(table) == 2 and table[1][3] == "J123ABC", f"the CSV lists {table[1:]}")
    check(data.count(b"\r\n") == 2, "the CSV rows do not end with CRLF")
    run.key(history, "alt+c")
    run.wait_gone(history)
    wait_for(lambda: p.poll() is None, 2, "the program running")
