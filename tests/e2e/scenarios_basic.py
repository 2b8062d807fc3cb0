"""Start-up: the caption and the single-instance guard."""
import os

from flows import MAIN
from harness import check
from registry import scenario


@scenario(expected_s=2)
def startup_caption(run):
    with open(os.path.join(run.work, "SETUP.EA2"), "wb") as f:
        f.write(b"PORT=3")
    p = run.start_qova()
    run.wait_window("QOVA    COM3")
    run.screenshot("main")
    check(p.poll() is None, "the program ended on its own")


@scenario(expected_s=3)
def second_copy_says_already_running(run):
    first = run.start_qova()
    run.wait_window(MAIN)
    second = run.start_qova()
    box = run.wait_window("Already Running")
    run.screenshot("already_running")
    run.key(box, "Return")
    check(second.wait(10) == 0, "the second copy did not end with exit code 0")
    check(first.poll() is None, "the first copy was affected")
    # The first copy's window is still the only main window.
    check(len(run.windows(MAIN)) == 1, "more than one main window")


@scenario(expected_s=3)
def stale_lock_of_a_killed_copy_does_not_block(run):
    first = run.start_qova()
    run.wait_window(MAIN)
    first.kill()
    first.wait()
    second = run.start_qova()
    run.wait_window(MAIN)
    check(second.poll() is None, "a copy started after a crash did not start")
