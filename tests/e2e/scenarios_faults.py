"""Faults the program must survive: an analyser that falls silent, an adapter pulled out
(and plugged back in), a noisy line, a port it cannot have, a folder it cannot write, and
being killed while it records."""
import os
import pwd
import signal
import subprocess
import sys
import time

from flows import (LEAK, MAIN, NO_RESPONSE, QUIET, READY, RECORD_HEADER, RECORD_ROW, answer, figures_lit, idle_check,
                   leave_digital, open_digital, open_from_digital, prompt, reach_measuring, save_file_dialog,
                   start_program, start_recording, wait_file)
from harness import check, deadline, wait_for
from registry import scenario

OPEN_FAILED = "Communication failed try again"


def wait_no_response(run, since, timeout):
    """Waits for the one box that tells the analyser does not answer."""
    box = run.wait_window("QOVA", timeout=timeout)
    texts = [m[2] for m in run.messages() if m[0] >= since]
    check(texts == [NO_RESPONSE], f"boxes shown: {texts!r}")
    check(len(run.windows("QOVA")) == 1, "more than one box is open")
    return box


def no_new_box(run, seconds):
    count = len(run.messages())
    time.sleep(seconds)
    check(len(run.messages()) == count, f"boxes came in a burst: {run.message_texts()[count:]!r}")


def answer_no_response(run, p, since, timeout, open_what, after_what):
    """The one box about the silence, answered: the program idles with it open and after it,
    and no other box follows at once."""
    box = wait_no_response(run, since, timeout)
    run.screenshot("no_response")
    idle_check(run, p, open_what)
    answer(run, box, "Return")
    idle_check(run, p, after_what)
    no_new_box(run, 1)


def ms_now():
    return int(time.time() * 1000)


def fixed_name(run, sim):
    """Gives the program the analyser's terminal under a name of the scenario's own. The
    number of a terminal that vanished soon names another scenario's: a program that keeps
    reopening its vanished port must not find that one."""
    link = os.path.join(run.dir, "ttyQOVA")
    os.symlink(sim.path, link)
    run.env["QOVA_COM1"] = link
    return link


def pull_out(first, link):
    """Once the program has polled the analyser, its adapter is pulled out."""
    wait_for(lambda: first.polls() >= 1, 5, "the analyser was never polled")
    os.remove(link)
    first.wait_gone(8)


def start_to_unplug(run, after_ms):
    """An analyser whose adapter can be pulled out `after_ms` after it starts, under the
    fixed name, and the program on it; returns the analyser, the name, the program and its
    main window."""
    sim = run.start_sim(*QUIET, "--unplug-after", after_ms)
    link = fixed_name(run, sim)
    p, main = start_program(run)
    return sim, link, p, main


def plug_in(run, link, *args):
    """An analyser on a new terminal, found under the fixed name again."""
    second = run.start_sim(*args, name="sim2")
    run.env["QOVA_COM1"] = link
    os.symlink(second.path, link + ".new")
    os.replace(link + ".new", link)
    return second


@scenario(kind="fault", expected_s=18)
def fault_analyser_falls_silent(run):
    sim = run.start_sim(*QUIET)
    p, main = start_program(run)
    digital = open_digital(run, main)
    wait_for(lambda: figures_lit(run, digital, run.screenshot("digital")) > 0.02, 8, "no figures before the fault")
    status = run.status_bar_text(digital, run.screenshot("digital"))
    check("Communication: OK" in status, f"the status bar reads {status!r} while the analyser answers")
    since = ms_now()
    os.kill(sim.proc.pid, signal.SIGSTOP)  # still on the line, answering nothing
    # The first failed cycle shows it in the status bar, long before the box. Screenshots
    # are taken until the box comes and read afterwards, so that reading them slowly on a
    # busy machine cannot miss the cycles in between.
    shots = []

    def box_came():
        if any(m[0] >= since for m in run.messages()):
            return True
        started = ms_now()
        png = run.screenshot(f"silent{len(shots)}")
        shots.append((started, ms_now(), png))
        return False

    wait_for(box_came, 12, "no box about the silent analyser")
    box_ms = min(m[0] for m in run.messages() if m[0] >= since)
    before_box = [png for _, done, png in shots if done < box_ms]
    check(any("Communication: Error" in run.status_bar_text(digital, png) for png in reversed(before_box[-4:])),
          f"the status bar did not read Communication: Error before the box ({len(before_box)} screenshots)")
    # Four failed cycles of two seconds.
    answer_no_response(run, p, since, 12, "with the box open", "polling a silent analyser")
    os.kill(sim.proc.pid, signal.SIGCONT)
    polls = sim.polls()
    wait_for(lambda: sim.polls() > polls, 2.5, "polling did not go on after the box")
    leave_digital(run, digital, p)


@scenario(kind="fault", expected_s=18)
def fault_adapter_unplugged_while_polling(run):
    sim, link, p, main = start_to_unplug(run, "3500")
    digital = open_digital(run, main)
    since = ms_now()
    pull_out(sim, link)  # the adapter's device name goes with it
    check(not os.path.exists(sim.path) or os.stat(sim.path).st_ino != sim.inode,
          f"{sim.path} is still there after the unplug")
    wait_for(lambda: "Communication: Error" in run.status_bar_text(digital, run.screenshot("unplugged")), 8,
             "the status bar never read Communication: Error after the unplug")
    answer_no_response(run, p, since, 14, "with the box open after the unplug", "retrying a vanished adapter")
    leave_digital(run, digital, p)


@scenario(kind="fault", expected_s=14)
def fault_adapter_plugged_back_in_resumes_polling(run):
    # The program's port is a fixed name that is pointed at whichever terminal the
    # analyser is on, as a udev rule names an adapter wherever it is plugged in.
    first, link, p, main = start_to_unplug(run, "3000")
    digital = open_digital(run, main)
    pull_out(first, link)
    time.sleep(2.5)  # a cycle or two with no adapter
    second = plug_in(run, link, *READY)
    # Within a cycle the port is open again and polled; the next reads the answer, which
    # offers the leak test. A box about the silence may come first.
    end = time.time() + deadline(12)
    while time.time() < end and not run.windows(LEAK):
        for box in run.windows("QOVA"):
            run.screenshot("no_response")
            answer(run, box, "Return")
        time.sleep(0.2)
    box = prompt(run, LEAK, "Do Leak test ?", timeout=1)
    run.screenshot("replugged")
    answer(run, box, "alt+n")
    wait_for(lambda: 0x05 in second.bytes(), 5, "the reply did not reach the analyser plugged back in")
    check(second.polls() >= 1, "the analyser plugged back in was never polled")
    texts = [t for t in run.message_texts() if t not in (NO_RESPONSE, "Do Leak test ?", "READY FOR ZERO ?")]
    check(not texts, f"unexpected boxes: {texts!r}")
    run.note(f"{second.polls()} polls reached the adapter plugged back in")
    leave_digital(run, digital, p)


@scenario(kind="fault", expected_s=16)
def fault_graph_goes_on_when_the_adapter_is_back(run):
    first, link, p, main = start_to_unplug(run, "3000")
    run.key(main, "ctrl+g")
    graph = run.wait_window(MAIN, exclude=(main,))
    pull_out(first, link)
    time.sleep(3)  # two ticks or so with no adapter
    run.screenshot("graph_unplugged")
    idle_check(run, p, "graphing with no adapter")
    second = plug_in(run, link, *QUIET)
    wait_for(lambda: second.polls() >= 3, 10, "the graph did not poll the adapter plugged back in")
    run.screenshot("graph_replugged")
    check(run.messages() == [], f"boxes: {run.message_texts()!r}")
    run.key(graph, "alt+m")
    run.wait_gone(graph)
    check(p.poll() is None, "the program ended")
    run.note(f"{second.polls()} polls reached the adapter plugged back in")


@scenario(kind="fault", expected_s=12)
def fault_noise_flood_keeps_program_responsive(run):
    run.start_sim(*QUIET, "--fault", "flood")
    p, main = start_program(run)
    digital = open_digital(run, main)
    since = ms_now()
    box = wait_no_response(run, since, 14)
    run.screenshot("flood")
    answer(run, box, "Return")
    share = run.cpu_share(p, 3)
    run.note(f"processor use under a flood: {100 * share:.1f} % of one core over 3 s")
    # Each cycle drains for at most half a second; the rest of the time is the operator's.
    check(share < 0.6, f"the program used {100 * share:.0f} % of a core under the flood")
    started = time.time()
    run.key(digital, "alt+m")
    run.wait_gone(digital, timeout=3)
    run.note(f"Main Menu took {time.time() - started:.2f} s under the flood")
    check(p.poll() is None, "the program ended")


@scenario(kind="fault", expected_s=13)
def fault_bad_frames_are_skipped(run):
    sim = run.start_sim(*QUIET, "--fault", "bad-frames")  # every third frame has a wrong check word
    p, main = start_program(run)
    digital = open_digital(run, main)
    wait_for(lambda: sim.polls() >= 5, 10, "the display polled fewer than five times")
    check(run.messages() == [], f"boxes for occasional bad frames: {run.message_texts()!r}")
    check(figures_lit(run, digital, run.screenshot("bad_frames")) > 0.02, "no figures from the good frames")
    leave_digital(run, digital, p)


@scenario(kind="fault", expected_s=12)
def fault_partial_frames(run):
    run.start_sim(*QUIET, "--fault", "partial-frames")
    p, main = start_program(run)
    digital = open_digital(run, main)
    box = wait_no_response(run, ms_now(), 14)
    run.screenshot("partial_frames")
    answer(run, box, "Return")
    idle_check(run, p, "reading partial frames")
    leave_digital(run, digital, p)


def open_failure(run, main, device, reason):
    """DIGITAL on a port that cannot be opened: the box names the device and the reason,
    and the display closes itself."""
    before = len(run.windows(MAIN))
    run.key(main, "ctrl+d")
    box = run.wait_window("QOVA")
    run.screenshot("open_failed")
    last = run.messages()[-1]
    check(last[2] == OPEN_FAILED, f"the box says {last[2]!r}")
    check(device in last[3] and reason in last[3], f"the detail {last[3]!r} does not name {device} and {reason!r}")
    check("FILE > COMM" in last[3], f"the box {last[3]!r} does not say where the connection is changed")
    answer(run, box, "Return")
    wait_for(lambda: len(run.windows(MAIN)) <= before, 5, "the digital display stayed open")
    return last[3]


@scenario(kind="fault", expected_s=7)
def fault_port_does_not_exist(run):
    missing = "/dev/ttyQOVA-absent"
    run.env["QOVA_COM1"] = missing
    p, main = start_program(run)
    detail = open_failure(run, main, missing, "No such file or directory")
    run.note(f"detail: {detail}")
    run.key(main, "ctrl+h")
    dialog = run.wait_window("QOVA")
    run.key(dialog, "Tab", "Tab", "Return")  # LINE2, SEND, press it
    wait_for(lambda: run.message_texts()[-1:] == [OPEN_FAILED + " 1"], 5, "no box for the header send")
    check(missing in run.messages()[-1][3], f"header send detail {run.messages()[-1][3]!r}")
    box = run.wait_window("QOVA", exclude=(dialog,))
    answer(run, box, "Return")
    run.wait_gone(dialog)  # the dialog closes after its failure too
    idle_check(run, p, "after the failures")
    check(p.poll() is None, "the program ended")


def open_for_all(path):
    os.chmod(path, 0o666)


@scenario(kind="fault", expected_s=6)
def fault_port_held_by_another_program(run):
    sim = run.start_sim(*QUIET)
    open_for_all(sim.path)
    # Another program has the terminal open for itself alone, as terminal programs do.
    holder = subprocess.Popen([sys.executable, "-c", (
        "import fcntl, os, sys, termios, time\n"
        "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
        "fcntl.ioctl(fd, termios.TIOCEXCL)\n"
        "print('held', flush=True)\n"
        "time.sleep(120)\n"), sim.path], stdout=subprocess.PIPE, text=True)
    run.procs.append(holder)
    check(holder.stdout.readline().strip() == "held", "the other program could not take the port")
    p, main = start_program(run, unprivileged=True)
    detail = open_failure(run, main, sim.path, "Another program is using the port")
    run.note(f"detail: {detail}")
    check(p.poll() is None, "the program ended")


@scenario(kind="fault", expected_s=6)
def fault_port_not_permitted(run):
    sim = run.start_sim(*QUIET)
    os.chmod(sim.path, 0o620)  # root and the tty group only, as serial ports are
    p, main = start_program(run, unprivileged=True)
    detail = open_failure(run, main, sim.path, "dialout")
    check("Permission denied" in detail, f"the detail {detail!r} does not give the system's reason")
    run.note(f"detail: {detail}")
    check(p.poll() is None, "the program ended")


@scenario(kind="fault", expected_s=16)
def fault_read_only_working_folder(run):
    sim = run.start_sim(*QUIET)
    open_for_all(sim.path)
    os.chmod(run.work, 0o555)
    out = os.path.join(run.dir, "out")
    os.makedirs(out)
    nobody = pwd.getpwnam("nobody")
    os.chown(out, nobody.pw_uid, nobody.pw_gid)
    p, main = start_program(run, unprivileged=True)

    # COMM > OK cannot write SETUP.EA2.
    run.key(main, "ctrl+c")
    dialog = run.wait_window("QOVA")
    run.key(dialog, "alt+o")
    wait_for(lambda: run.message_texts()[-1:] == ["can not open file"], 5, "no box for the port file")
    answer(run, run.wait_window("QOVA", exclude=(dialog,)), "Return", "port_file")
    run.wait_gone(dialog)
    main = run.wait_window("QOVA  COM1")  # the caption is rewritten all the same

    # The report prints, but cannot be added to the registration file.
    digital, vehicle = open_from_digital(run, main, "alt+p", "VEHICLE TYPE")
    run.key(vehicle, "alt+o")
    pdf = os.path.join(out, "report.pdf")
    save_file_dialog(run, "No printer: save the page as PDF", pdf)
    wait_for(lambda: run.message_texts()[-1:] == ["The report could not be added to the file J123ABC.TXT"], 10,
             f"no box for the registration file: {run.message_texts()!r}")
    check("Permission denied" in run.messages()[-1][3], f"detail {run.messages()[-1][3]!r}")
    answer(run, run.wait_window("QOVA"), "Return", "registration_file")
    wait_file(pdf, 5)

    # Recording into the folder is refused with the reason.
    record = os.path.join(run.work, "readings.TXT")
    start_recording(run, digital, record)
    wait_for(lambda: run.message_texts()[-1:] == [f"Can not record in the file {record}"], 5,
             f"no box for the recording: {run.message_texts()!r}")
    check("Permission denied" in run.messages()[-1][3], f"detail {run.messages()[-1][3]!r}")
    answer(run, run.wait_window("QOVA"), "Return", "recording_file")
    check(digital in run.windows(MAIN), "the caption names a recording that is not running")
    check(os.listdir(run.work) == [], f"files appeared in the read-only folder: {os.listdir(run.work)}")
    leave_digital(run, digital, p)


@scenario(kind="fault", expected_s=24)
def fault_killed_while_recording(run):
    sim = run.start_sim(*READY)
    p, main = start_program(run)
    digital = reach_measuring(run, sim, main)
    record = os.path.join(run.dir, "readings.TXT")
    start_recording(run, digital, record)
    run.wait_window(f"{MAIN}   Recording in :  readings.TXT")
    polls_at_start = sim.polls()
    wait_for(lambda: sim.polls() - polls_at_start >= 4, 7, "fewer than four polls while recording")
    answered = sim.polls() - polls_at_start
    p.kill()
    p.wait()
    with open(record, "rb") as f:
        text = f.read().decode("latin-1")
    lines = text.split("\n")
    check(lines[0] == RECORD_HEADER and lines[1] == "", "header lost")
    rows = lines[2:]
    whole = rows[:-1]  # the text after the last line end can only be a row cut short
    bad = [r for r in whole if not RECORD_ROW.match(r)]
    check(not bad, f"rows not whole: {bad!r}")
    check(rows[-1] == "" or RECORD_ROW.match(rows[-1]) is None, "a whole row without its line end")
    # One row per answered poll read back, bar the one the kill may have cut.
    check(len(whole) >= answered - 2, f"{len(whole)} rows for {answered} polls")
    run.note(f"{len(whole)} whole rows after {answered} polls; cut row: {rows[-1]!r}")
