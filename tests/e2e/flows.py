"""What several scenarios share: the analyser's start-up options, the recording's format,
and the steps of starting the program, opening the digital display, answering prompts,
naming files, recording, opening the store items and checking the program idles."""
import os
import re
import time

from harness import Failure, check, deadline, wait_for

MAIN = "QOVA    COM1"
NO_RESPONSE = " No Response From Analyser "
# An analyser still counting down after switch-on asks nothing for a minute.
QUIET = ("--power-up", "60000")
# One that is ready at once offers the leak test on the first poll.
READY = ("--power-up", "300")
# The program polls every two seconds; an idle program uses next to nothing between polls.
IDLE_CPU = 0.05
RECORD_HEADER = "HC    CO  CO2  O2   NO   RPM   OIL LMBDA/AFR TIME "
RECORD_ROW = re.compile(r"^\d{4} \d+\.\d\d \d+\.\d \d+\.\d\d \d{4} \d{4} -?\d+\.\d  \d+\.\d{3}    \d\d:\d\d:\d\d $")
LEAK = "          LEAKTEST"
ZERO = "           ZERO"
ZEROING_MS = 6000

# The digital display's figures, relative to its window, on a 1280-pixel screen: the
# glyphs are 90 x 150 and the point 12 wide, so x0 = (1280 - (8 * 90 + 2 * 12 + 20)) / 2.
FIGURES = (258, 20, 8 * 90 + 2 * 12 + 20, 2 * 150 + 20)


def start_program(run, **kw):
    p = run.start_qova(**kw)
    main = run.wait_window(MAIN)
    return p, main


def open_digital(run, main):
    """Ctrl+D on the main window; the digital display, which has the main window's caption."""
    run.key(main, "ctrl+d")
    return run.wait_window(MAIN, exclude=(main,))


def leave_digital(run, digital, p=None):
    """Main Menu on the digital display; given the program's process, checks that it still runs."""
    run.key(digital, "alt+m")
    run.wait_gone(digital)
    if p is not None:
        check(p.poll() is None, "the program ended")


def open_from_digital(run, main, key, caption):
    """Opens the digital display, waits until it has read an answer (the second poll
    follows the first answer), then the window behind `key` on it; returns the display and
    that window."""
    sim = run.sims[-1]
    digital = open_digital(run, main)
    wait_for(lambda: sim.polls() >= 2, 5, "the display never read the analyser's first answer")
    run.key(digital, key)
    return digital, run.wait_window(caption)


def answer(run, box, key, name=None):
    if name:
        run.screenshot(name)
    run.key(box, key)
    run.wait_gone(box)


def prompt(run, caption, text, timeout=15):
    """Waits for the box with this caption and checks that its text is `text`."""
    box = run.wait_window(caption, timeout=timeout)
    last = wait_for(lambda: run.messages()[-1:], 5, "the box is not in the program's message log")[0]
    check(last[1:3] == (caption, text), f"the box says {last[1:3]!r}, not {(caption, text)!r}")
    return box


def wait_replies(sim, expected, timeout=5):
    """Waits until the program's replies (all but polls) are `expected`."""
    wait_for(lambda: sim.replies() == expected, timeout,
             f"the analyser received {[hex(b) for b in sim.replies()]} instead of {[hex(b) for b in expected]}")


def figures_lit(run, digital, shot):
    x, y, _, _ = run.geometry(digital)
    fx, fy, fw, fh = FIGURES
    return run.lit_fraction(shot, x + fx, y + fy, fw, fh)


def reach_measuring(run, sim, main):
    """Opens the digital display against an analyser just switched on, declines the leak
    test and confirms the zero; returns the display once the analyser measures."""
    digital = open_digital(run, main)
    box = prompt(run, LEAK, "Do Leak test ?")
    answer(run, box, "alt+n", "leak_offer")
    box = prompt(run, ZERO, "READY FOR ZERO ?")
    answer(run, box, "Return", "zero_prompt")
    wait_replies(sim, [0x05, 0x06])
    # The analyser zeroes for six seconds from the reply, then measures; the display has
    # read a measuring frame once it polls the second time after that.
    zeroed_ms = [t for t, b in sim.received() if b == 0x06][-1] + ZEROING_MS
    wait_for(lambda: sim.polls_since(zeroed_ms) >= 2, 12, "the display never polled the analyser once it measured")
    return digital


def save_file_dialog(run, caption, path):
    """Names `path` in the file dialog with this caption and accepts it."""
    dialog = run.wait_window(caption)
    run.screenshot("file_dialog")
    run.key(dialog, "ctrl+a")
    run.type(dialog, path)
    run.key(dialog, "Return")
    run.wait_gone(dialog)


def start_recording(run, digital, path, shot=None):
    """Record ON into `path` from the digital display: the record dialog, then the file's."""
    run.key(digital, "alt+r")
    dialog = run.wait_window("Form12")
    run.click(dialog, 108, 82)  # "ON"
    if shot:
        run.screenshot(shot)
    run.key(dialog, "alt+o")
    save_file_dialog(run, "Record in file", path)


def wait_file(path, timeout=15):
    """Waits until the file exists and stops growing."""
    last = -1
    timeout = deadline(timeout)
    end = time.time() + timeout
    while time.time() < end:
        if os.path.exists(path):
            size = os.path.getsize(path)
            if size > 0 and size == last:
                return
            last = size
        time.sleep(0.3)
    raise Failure(f"{path} was not written within {timeout} s")


def idle_check(run, p, what):
    share = run.cpu_share(p, 3)
    run.note(f"processor use {what}: {100 * share:.2f} % of one core over 3 s")
    check(share < IDLE_CPU, f"the program used {100 * share:.0f} % of a core {what}")


def open_store_item(run, main, letter):
    """FILE > STORE > the item with this mnemonic; the menu bar has no mnemonic of its own,
    so the FILE menu is opened with a click."""
    before = run.popups()
    run.click(main, 20, 10)
    wait_for(lambda: len(run.popups()) > len(before), 5, "the FILE menu did not open")
    before = run.popups()
    run.key(main, "s")
    wait_for(lambda: len(run.popups()) > len(before), 5, "the STORE menu did not open")
    run.key(main, letter)


def upload_store(run, main, data):
    """FILE > STORE > upload into the file `data`; returns the viewer that opens on it and
    the file's size, checked to hold whole tests."""
    open_store_item(run, main, "u")
    save_file_dialog(run, "Save As", data)
    viewer = run.wait_window("MAY.QVS", timeout=30)
    run.screenshot("viewer")
    size = os.path.getsize(data)
    check(size > 0 and size % 30 == 0, f"the data file holds {size} bytes, not whole tests")
    return viewer, size


def replace_file_dialog(run, caption, path):
    """Names an existing `path` in the save dialog and confirms that it is to be replaced."""
    dialog = run.wait_window(caption)
    run.key(dialog, "ctrl+a")
    run.type(dialog, path)
    run.key(dialog, "Return")
    confirm = run.wait_window(caption, exclude=(dialog,))
    run.screenshot("replace")
    run.key(confirm, "alt+y")
    run.wait_gone(dialog)


def box_saying(run, text, timeout, exclude=()):
    """Waits for the box with this text and returns its window."""
    wait_for(lambda: text in run.message_texts(), timeout, f"no box saying {text!r}: {run.message_texts()!r}")
    return run.wait_window("QOVA", timeout=5, exclude=exclude)
