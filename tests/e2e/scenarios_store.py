"""The live graph for a minute, and the stored tests' round trip: upload into a data
file, the viewer on it, and its export to text."""
import os
import time

from flows import MAIN, QUIET, open_store_item, save_file_dialog, start_program, upload_store
from harness import check, wait_for
from registry import scenario

@scenario(expected_s=66)
def graph_for_a_minute(run):
    sim = run.start_sim(*QUIET)
    p, main = start_program(run)
    run.key(main, "ctrl+g")
    graph = run.wait_window(MAIN, exclude=(main,))
    polls = sim.polls()
    started = time.time()
    time.sleep(60)  # the graph is shown for a minute: that is the scenario, not a wait
    # A graph about as wide as the screen polls about every 1.4 s.
    wait_for(lambda: sim.polls() - polls >= 25, 5, "fewer than 25 polls in a minute")
    run.screenshot("graph")
    got = sim.polls() - polls
    share = run.cpu_share(p, 3)
    check(share < 0.10, f"the program used {share:.0%} of a core while plotting")
    run.key(graph, "alt+m")
    run.wait_gone(graph)
    check(p.poll() is None, "the program ended")
    run.note(f"{got} polls in {time.time() - started:.0f} s, {share:.1%} of a core")


@scenario(expected_s=25)
def store_upload_view_and_export(run):
    sim = run.start_sim(*QUIET)
    p, main = start_program(run)
    data = os.path.join(run.dir, "MAY.QVS")
    viewer, size = upload_store(run, main, data)
    sent = sim.bytes()
    check(0x44 in sent, "the upload request was never sent")
    check(sent[sent.index(0x44) + 1:].count(ord("O")) >= 2, "no block was accepted")
    run.key(viewer, "alt+m")
    run.wait_gone(viewer)

    open_store_item(run, main, "e")
    save_file_dialog(run, "Open", data)
    wait_for(lambda: any("done  MAY.QVS---> MAY.txt" in m[2] for m in run.messages()), 10,
             "no done message after the export")
    box = run.wait_window("QOVA")
    run.screenshot("export_done")
    run.key(box, "Return")
    text_path = os.path.join(run.dir, "MAY.txt")
    with open(text_path, "rb") as f:
        lines = f.read().split(b"\r\n")
    check(lines[0].startswith(b"Date        time"), f"the export starts {lines[0][:20]!r}")
    rows = [l for l in lines[2:] if l]
    check(len(rows) == size // 30, f"{len(rows)} rows for {size // 30} tests")
    check(p.poll() is None, "the program ended")
    run.note(f"{size // 30} tests uploaded and exported")
