"""The digital display against the simulated analyser: live figures, the operator's
prompts and replies, the command buttons, and the sends of the configuration dialogs."""
import datetime
import os
import time

from flows import (LEAK, MAIN, QUIET, READY, RECORD_HEADER, RECORD_ROW, ZERO, answer, figures_lit, leave_digital,
                   open_digital, open_from_digital, prompt, reach_measuring, start_program, start_recording,
                   wait_replies)
from harness import check, checksum_bytes, find_frame, wait_for
from registry import scenario



@scenario(expected_s=9)
def digital_live_figures_pump_and_zero(run):
    sim = run.start_sim(*QUIET)
    p, main = start_program(run)
    digital = open_digital(run, main)
    # The first cycle reads the answer to the first poll one second after the show.
    wait_for(lambda: figures_lit(run, digital, run.screenshot("digital")) > 0.02, 8, "no figures on the display")
    polls = sim.polls()
    run.key(digital, "alt+u")
    wait_replies(sim, [0x22])
    run.key(digital, "alt+z")
    wait_replies(sim, [0x22, 0x55])
    # Polling goes on, one poll every two seconds.
    wait_for(lambda: sim.polls() >= polls + 1, 4.5, "polling stopped after Pump and Zero")
    lit = figures_lit(run, digital, run.screenshot("digital_after_pump"))
    check(lit > 0.02, "the figures went out")
    leave_digital(run, digital, p)
    run.note(f"{sim.polls()} polls, lit share of the figure area {lit:.3f}")


@scenario(expected_s=17)
def leak_test_answered_yes(run):
    sim = run.start_sim(*READY)
    p, main = start_program(run)
    open_digital(run, main)
    answer(run, prompt(run, LEAK, "Do Leak test ?"), "alt+y", "leak_offer")
    wait_replies(sim, [0x06])
    answer(run, prompt(run, LEAK, "Ready For Leak test ?"), "alt+y", "leak_ready")
    wait_replies(sim, [0x06, 0x06])
    # The test itself takes five seconds.
    answer(run, prompt(run, LEAK, "Leak test Passed ?", timeout=15), "Return", "leak_passed")
    answer(run, prompt(run, ZERO, "READY FOR ZERO ?"), "Return", "zero_prompt")
    wait_replies(sim, [0x06] * 4)
    check(p.poll() is None, "the program ended")


@scenario(expected_s=24)
def leak_test_no_zero_and_record(run):
    sim = run.start_sim(*READY)
    p, main = start_program(run)
    digital = reach_measuring(run, sim, main)
    record = os.path.join(run.dir, "readings.TXT")
    start_recording(run, digital, record, shot="record_on")
    recording = run.wait_window(f"{MAIN}   Recording in :  readings.TXT")
    run.screenshot("recording")
    polls = sim.polls()
    wait_for(lambda: sim.polls() >= polls + 4, 8, "fewer than four polls while recording")
    run.key(recording, "alt+r")
    dialog = run.wait_window("Form12")
    run.click(dialog, 108, 126)  # "OFF"
    run.key(dialog, "alt+o")
    run.wait_gone(dialog)
    wait_for(lambda: digital in run.windows(MAIN), 5, "the caption still names the recording")
    with open(record, "rb") as f:
        text = f.read()
    polls = sim.polls()
    wait_for(lambda: sim.polls() >= polls + 2, 5, "polling stopped after Record OFF")
    with open(record, "rb") as f:
        check(f.read() == text, "rows were added after Record OFF")
    lines = text.decode("latin-1").split("\n")
    check(lines[0] == RECORD_HEADER and lines[1] == "",
          f"header is {lines[:2]!r}")
    rows = [l for l in lines[2:] if l]
    bad = [r for r in rows if not RECORD_ROW.match(r)]
    check(not bad, f"rows not in the recording format: {bad!r}")
    check(len(rows) >= 2, f"{len(rows)} rows recorded in four polls of measuring")
    check(text.endswith(b"\n"), "the last row is not whole")
    run.note(f"{len(rows)} rows, first {rows[0]!r}")
    leave_digital(run, digital, p)


def send_from_digital(run, key, caption, send):
    """Opens the dialog behind `key` on the digital display of a quiet analyser, lets `send`
    fill it in and send, waits for the dialog to close (on the analyser's "O") without a
    message box and leaves the display. Returns the bytes the analyser received."""
    sim = run.start_sim(*QUIET)
    p, main = start_program(run)
    digital, dialog = open_from_digital(run, main, key, caption)
    send(dialog)
    run.wait_gone(dialog, timeout=8)
    check(not run.windows("QOVA"), "a message box came up")
    leave_digital(run, digital, p)
    return sim.bytes()


@scenario(expected_s=8)
def setup_send_from_digital(run):
    sent_at = None

    def send(dialog):
        nonlocal sent_at
        run.screenshot("setup")
        sent_at = datetime.datetime.now()
        run.key(dialog, "alt+s")  # it waits 1.5 s before and 1.5 s after sending

    data = send_from_digital(run, "alt+s", "SETUP", send)
    payload = find_frame(data, 0x77, 8)
    check(payload is not None, f"no setup frame among {[hex(b) for b in data if b != 0x11]}")
    check(payload[:2] == [0x05, 0x00], f"flags and mode {payload[:2]} instead of petrol/line/lambda/C, 2 stroke")
    bcd = lambda v: (v // 10) * 16 + v % 10  # noqa: E731
    day = [bcd(sent_at.day), bcd(sent_at.month), sent_at.year % 100]
    check(payload[5:8] == day, f"date bytes {payload[5:8]} instead of {day}")


@scenario(expected_s=9)
def calibration_send_from_digital(run):
    def send(dialog):
        for value in ("350", "1380", "2200", "1000"):
            run.key(dialog, "ctrl+a")
            run.type(dialog, value)
            run.key(dialog, "Return")  # on to the next box, and from the last to SEND
        run.screenshot("calibration")
        run.key(dialog, "Return")

    data = send_from_digital(run, "alt+c", "CALIBRATION", send)
    expected = [0x99, 0x5E, 0x01, 0x64, 0x05, 0x98, 0x08, 0xE8, 0x03, 0xAD, 0xFD]
    at = [i for i, b in enumerate(data) if b == 0x99]
    check(at and data[at[0]:at[0] + 11] == expected,
          f"calibration frame {[hex(b) for b in data[at[0]:at[0] + 11]] if at else 'missing'}")


@scenario(expected_s=6)
def header_send(run):
    sim = run.start_sim(*QUIET)
    p, main = start_program(run)
    run.key(main, "ctrl+h")
    dialog = run.wait_window("QOVA")
    lines = ("ACME MOTORS", "TEL 0123 456789")
    for line in lines:
        run.key(dialog, "ctrl+a")
        run.type(dialog, line)
        run.key(dialog, "Return")  # on to LINE2, then to SEND
    run.screenshot("header")
    run.key(dialog, "Return")
    # The send waits 2.5 s for the answer.
    run.wait_gone(dialog, timeout=8)
    payload = [ord(c) for c in lines[0].ljust(20) + lines[1].ljust(20)]
    expected = [0xDD] + payload + checksum_bytes(payload)
    check(sim.bytes() == expected, f"sent {[hex(b) for b in sim.bytes()]}, expected {[hex(b) for b in expected]}")
    check(not run.windows("QOVA"), "a message box came up")
    check(p.poll() is None, "the program ended")
