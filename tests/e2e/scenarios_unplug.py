"""The adapter pulled out in the middle of an exchange other than polling: an upload of
the stored tests, a setup send and a header send. Each ends with its failure message,
and the operator's data file is as it was."""
import os
import time

from flows import (MAIN, NO_RESPONSE, QUIET, answer, box_saying, figures_lit, idle_check, leave_digital, open_digital,
                   open_store_item, replace_file_dialog, start_program)
from harness import check, deadline, wait_for
from registry import scenario

NO_ANSWER = "Communication failed try again (2)"
SEND_FAILED = "Communication failed try again 2"
PREVIOUS = bytes(range(90))  # three tests the operator uploaded before


@scenario(kind="fault", expected_s=12)
def fault_unplugged_during_upload(run):
    # Gone the moment the program accepts the second block.
    sim = run.start_sim(*QUIET, "--unplug-on", "0x4F:2")
    data = os.path.join(run.dir, "MAY.QVS")
    with open(data, "wb") as f:
        f.write(PREVIOUS)
    p, main = start_program(run)
    open_store_item(run, main, "u")
    replace_file_dialog(run, "Save As", data)
    sim.wait_gone(10)
    box = box_saying(run, NO_ANSWER, 10)
    run.screenshot("upload_failed")
    check(run.message_texts() == [NO_ANSWER], f"boxes shown: {run.message_texts()!r}")
    sent = sim.bytes()
    check(sent == [0x44, 0x4F, 0x4F], f"the analyser received {[hex(b) for b in sent]}")
    answer(run, box, "Return")
    check(not run.windows("MAY.QVS"), "the viewer opened on a failed upload")
    with open(data, "rb") as f:
        check(f.read() == PREVIOUS, "the data file the operator had was changed")
    check(sorted(os.listdir(run.dir)).count("MAY.QVS") == 1 and not [n for n in os.listdir(run.dir) if "MAY.QVS." in n],
          f"a half-written file was left: {os.listdir(run.dir)}")
    idle_check(run, p, "after the failed upload")
    check(p.poll() is None, "the program ended")


@scenario(kind="fault", expected_s=18)
def fault_unplugged_during_setup_send(run):
    sim = run.start_sim(*QUIET, "--unplug-on", "0x77")
    p, main = start_program(run)
    digital = open_digital(run, main)
    wait_for(lambda: figures_lit(run, digital, run.screenshot("digital")) > 0.02, 8, "no figures before the send")
    run.key(digital, "alt+s")
    dialog = run.wait_window("SETUP")
    run.key(dialog, "alt+s")
    sim.wait_gone(10)
    box = box_saying(run, SEND_FAILED, 10)
    run.screenshot("setup_failed")
    check(run.message_texts()[0] == SEND_FAILED, f"boxes shown: {run.message_texts()!r}")
    check(sim.bytes()[-1] == 0x77, "the adapter went before the setup frame began")
    answer(run, box, "Return")
    # The dialog stays for another try; the operator gives up.
    check(dialog in run.windows("SETUP"), "the setup dialog closed after a failed send")
    run.key(dialog, "Escape")
    run.wait_gone(dialog)
    # The display finds the analyser gone and says so once.
    end = time.time() + deadline(12)
    while time.time() < end and NO_RESPONSE not in run.message_texts():
        time.sleep(0.2)
    for box in run.windows("QOVA"):
        answer(run, box, "Return")
    texts = run.message_texts()
    check(set(texts) <= {SEND_FAILED, NO_RESPONSE} and texts.count(NO_RESPONSE) <= 1, f"boxes shown: {texts!r}")
    idle_check(run, p, "after the failed send")
    leave_digital(run, digital, p)


@scenario(kind="fault", expected_s=10)
def fault_unplugged_during_header_send(run):
    sim = run.start_sim(*QUIET, "--unplug-on", "0xDD")
    p, main = start_program(run)
    run.key(main, "ctrl+h")
    dialog = run.wait_window("QOVA")
    run.key(dialog, "ctrl+a")
    run.type(dialog, "ACME MOTORS")
    run.key(dialog, "Return", "Return")  # on to LINE2, on to SEND
    run.key(dialog, "Return")
    sim.wait_gone(10)
    box = box_saying(run, SEND_FAILED, 10, exclude=(dialog,))
    run.screenshot("header_failed")
    check(run.message_texts() == [SEND_FAILED], f"boxes shown: {run.message_texts()!r}")
    check(sim.bytes() == [0xDD], f"the analyser received {[hex(b) for b in sim.bytes()]}")
    answer(run, box, "Return")
    run.wait_gone(dialog)
    check(run.windows(MAIN) == [main], "the main window is not the only window left")
    idle_check(run, p, "after the failed header send")
    check(p.poll() is None, "the program ended")
