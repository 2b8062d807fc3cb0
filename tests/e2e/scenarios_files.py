"""Files the program is handed or must write that are not what it expects: data files
that are empty, short, cut off, random or huge in VIEW and EXPORT; a SETUP.EA2 of any
bytes at start-up; a disk that is full while it uploads, exports and records."""
import errno
import os
import random
import subprocess

from flows import (MAIN, QUIET, READY, RECORD_HEADER, RECORD_ROW, answer, box_saying, idle_check, leave_digital,
                   open_digital, open_store_item, reach_measuring, replace_file_dialog, save_file_dialog,
                   start_program, start_recording)
from harness import Skipped, check, wait_for
from registry import scenario

RECORD = 30
NO_DATA = "No data in file "
TOO_LARGE = "File too large to be a data file "


def data_files(folder):
    """(name, what VIEW and EXPORT say on failure or None, whole tests) of each file made."""
    rng = random.Random(7)
    made = []

    def make(name, data=None, size=None):
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            if data is not None:
                f.write(data)
            else:
                f.truncate(size)  # sparse: costs no disk
        return path

    made.append((make("EMPTY.QVS", b""), NO_DATA, 0))
    made.append((make("SHORT.QVS", rng.randbytes(RECORD - 1)), NO_DATA, 0))
    made.append((make("PARTIAL.QVS", rng.randbytes(5 * RECORD + 17)), None, 5))
    made.append((make("RANDOM.QVS", rng.randbytes(100 * RECORD)), None, 100))
    made.append((make("LARGE.QVS", rng.randbytes(1_000_000 * RECORD)), None, 1_000_000))
    made.append((make("HUGE.QVS", size=4 << 30), TOO_LARGE, 0))
    return made


def snapshot(paths):
    """Size and time of change of each file: reading a sparse 4 GiB file would take a minute."""
    out = {}
    for p in paths:
        st = os.stat(p)
        out[p] = (st.st_size, st.st_mtime_ns)
    return out


def start_on_data_files(run):
    """The data files made in the working folder, their sizes and times, and the program."""
    files = data_files(run.dir)
    before = snapshot(p for p, _, _ in files)
    p, main = start_program(run)
    return files, before, p, main


@scenario(kind="fault", expected_s=40)
def fault_bad_data_files_in_view(run):
    files, before, p, main = start_on_data_files(run)
    for path, failure, tests in files:
        name = os.path.basename(path)
        count = len(run.messages())
        open_store_item(run, main, "v")
        save_file_dialog(run, "Open", path)
        if failure:
            box = box_saying(run, failure + path, 10)
            run.screenshot(f"view_{name}")
            answer(run, box, "Return")
        else:
            viewer = run.wait_window(name, timeout=20)
            run.screenshot(f"view_{name}")
            run.key(viewer, "alt+m")
            run.wait_gone(viewer)
        check(len(run.messages()) == count + (1 if failure else 0),
              f"{name}: boxes shown {run.message_texts()[count:]!r}")
        check(p.poll() is None, f"the program ended on {name}")
        main = run.wait_window(MAIN)
    check(snapshot(before) == before, "VIEW changed a data file")
    run.note(f"{len(files)} files viewed")


@scenario(kind="fault", expected_s=35)
def fault_bad_data_files_in_export(run):
    files, before, p, main = start_on_data_files(run)
    for path, failure, tests in files:
        name = os.path.basename(path)
        text_path = path[:-3] + "txt"
        open_store_item(run, main, "e")
        save_file_dialog(run, "Open", path)
        expected = failure + path if failure else f"done  {name}---> {os.path.basename(text_path)}"
        box = box_saying(run, expected, 30)
        run.screenshot(f"export_{name}")
        answer(run, box, "Return")
        if failure:
            check(not os.path.exists(text_path), f"{name}: a text file was written after {failure!r}")
        else:
            with open(text_path, "rb") as f:
                lines = f.read().split(b"\r\n")
            check(lines[0].startswith(b"Date        time") and lines[1] == b"" and lines[-1] == b"",
                  f"{name}: the text starts {lines[:2]!r}")
            check(len(lines) - 3 == tests, f"{name}: {len(lines) - 3} rows for {tests} tests")
        check(p.poll() is None, f"the program ended on {name}")
    check(snapshot(before) == before, "EXPORT changed a data file")
    run.note(f"{len(files)} files exported")


# SETUP.EA2 as it may be found: the port is the digit after the first "=" in the first
# 20 bytes, and anything else means port 1.
SETUP_FILES = [
    ("empty", b"", 1),
    ("the program's own", b"PORT=3", 3),
    ("no such port", b"PORT=9", 1),
    ("binary before the sign", b"\xff\xfe\x00\x07=2\x00", 2),
    ("sign at the last byte read", b"x" * 19 + b"=4", 1),
    ("digit at the last byte read", b"x" * 18 + b"=4", 4),
    ("a megabyte of noise after PORT=4", b"PORT=4" + random.Random(3).randbytes(1 << 20), 4),
    ("a folder", None, 1),
]


@scenario(kind="fault", expected_s=16)
def fault_setup_file_of_any_bytes(run):
    setup = os.path.join(run.work, "SETUP.EA2")
    for what, data, port in SETUP_FILES:
        if os.path.isfile(setup):
            os.remove(setup)
        if data is None:
            os.mkdir(setup)
        else:
            with open(setup, "wb") as f:
                f.write(data)
        p = run.start_qova()
        try:
            run.wait_window(f"QOVA    COM{port}", timeout=10)
        except Exception:
            raise AssertionError(f"SETUP.EA2 {what}: no main window captioned COM{port}") from None
        run.screenshot(f"setup_{what.replace(' ', '_')}")
        check(p.poll() is None, f"SETUP.EA2 {what}: the program ended")
        check(run.messages() == [], f"SETUP.EA2 {what}: boxes {run.message_texts()!r}")
        p.terminate()
        p.wait(10)
        if data is None:
            check(os.path.isdir(setup) and not os.listdir(setup), "the folder named SETUP.EA2 was changed")
            os.rmdir(setup)
        else:
            with open(setup, "rb") as f:
                check(f.read() == data, f"SETUP.EA2 {what}: the file was changed")
    run.note(f"{len(SETUP_FILES)} kinds of SETUP.EA2")


def full_disk(run, kib=256):
    """A small file system of the scenario's own, mounted under its folder."""
    mount = os.path.join(run.dir, "disk")
    os.makedirs(mount)
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={kib}k,mode=0777", "tmpfs", mount],
                       capture_output=True, text=True)
    if r.returncode != 0:
        os.rmdir(mount)
        raise Skipped(f"no small file system can be mounted here: {r.stderr.strip()}")
    run.services.append(("tmpfs", lambda: subprocess.run(["umount", "-l", mount], capture_output=True)))
    return mount


def fill(mount):
    """Takes every byte the file system has left."""
    fd = os.open(os.path.join(mount, "filler"), os.O_WRONLY | os.O_CREAT)
    try:
        for size in (65536, 4096, 1):
            try:
                while True:
                    os.write(fd, b"\0" * size)
            except OSError as e:
                if e.errno != errno.ENOSPC:
                    raise
    finally:
        os.close(fd)
    st = os.statvfs(mount)
    check(st.f_bavail == 0, f"{st.f_bavail} blocks still free")


@scenario(kind="fault", expected_s=20)
def fault_full_disk_upload_export_record(run):
    mount = full_disk(run)
    sim = run.start_sim(*QUIET)
    data = os.path.join(mount, "MAY.QVS")
    text = os.path.join(mount, "MAY.txt")
    previous = {data: bytes(range(3 * RECORD)), text: b"the export the operator made last week\r\n"}
    for path, content in previous.items():
        with open(path, "wb") as f:
            f.write(content)
    fill(mount)
    p, main = start_program(run)

    def unchanged(what):
        for path, content in previous.items():
            with open(path, "rb") as f:
                check(f.read() == content, f"{os.path.basename(path)} changed by the {what}")
        left = sorted(os.listdir(mount))
        check(left[:3] == ["MAY.QVS", "MAY.txt", "filler"] and all(n == "readings.TXT" for n in left[3:]),
              f"files left on the full disk after the {what}: {left}")

    # The whole store arrives, but the file cannot take it.
    open_store_item(run, main, "u")
    replace_file_dialog(run, "Save As", data)
    box = box_saying(run, f"can not write file {data}", 30)
    run.screenshot("upload_full")
    answer(run, box, "Return")
    check(sim.bytes().count(0x4F) >= 2, "the store was not uploaded")
    unchanged("upload")

    open_store_item(run, main, "e")
    save_file_dialog(run, "Open", data)
    box = box_saying(run, f"Can not write file {text}", 10)
    run.screenshot("export_full")
    answer(run, box, "Return")
    unchanged("export")

    digital = open_digital(run, main)
    record = os.path.join(mount, "readings.TXT")
    start_recording(run, digital, record)
    box = box_saying(run, f"Can not record in the file {record}", 10)
    detail = run.messages()[-1][3]
    check("No space left on device" in detail, f"the detail {detail!r} does not give the reason")
    run.screenshot("record_full")
    answer(run, box, "Return")
    wait_for(lambda: digital in run.windows(MAIN), 5, "the caption names a recording that is not running")
    unchanged("recording")
    leave_digital(run, digital, p)
    run.note(f"detail of the recording's box: {detail}")


def small_ext2(run, kib=200):
    """A file system of 1 KiB blocks in an image of the scenario's own: on it, a disk that
    fills in the middle of a recording fills after a few rows, where a tmpfs page would
    take a hundred."""
    image = os.path.join(run.dir, "disk.img")
    mount = os.path.join(run.dir, "disk")
    with open(image, "wb") as f:
        f.truncate(kib * 1024)
    r = subprocess.run(["mkfs.ext2", "-q", "-F", "-b", "1024", "-m", "0", image], capture_output=True, text=True)
    check(r.returncode == 0, f"mkfs.ext2 failed: {r.stderr.strip()}")
    os.makedirs(mount)
    r = subprocess.run(["mount", "-o", "loop", image, mount], capture_output=True, text=True)
    if r.returncode != 0:
        raise Skipped(f"no disk image can be mounted here: {r.stderr.strip()}")
    os.chmod(mount, 0o777)
    run.services.append(("disk image", lambda: subprocess.run(["umount", "-d", mount], capture_output=True)))
    return mount


@scenario(kind="fault", expected_s=50)
def fault_disk_fills_while_recording(run):
    mount = small_ext2(run)
    sim = run.start_sim(*READY)
    p, main = start_program(run)
    digital = reach_measuring(run, sim, main)
    record = os.path.join(mount, "readings.TXT")
    start_recording(run, digital, record)
    run.wait_window(f"{MAIN}   Recording in :  readings.TXT")
    wait_for(lambda: os.path.getsize(record) > 60, 8, "no row was recorded")
    # The rest of the disk goes; the rows go on into the room left in the file's last block.
    fill(mount)
    rows_then = os.path.getsize(record)
    box = box_saying(run, f"Recording stopped: the file {record} could not be written", 45)
    run.screenshot("disk_filled")
    detail = run.messages()[-1][3]
    check("No space left on device" in detail, f"the detail {detail!r} does not give the reason")
    answer(run, box, "Return")
    wait_for(lambda: digital in run.windows(MAIN), 5, "the caption names a recording that is not running")
    with open(record, "rb") as f:
        text = f.read().decode("latin-1")
    lines = text.split("\n")
    check(lines[0] == RECORD_HEADER and lines[1] == "", "header lost")
    rows = lines[2:]
    check(rows[-1] == "", f"the file ends in a cut-off row {rows[-1]!r}")
    bad = [r for r in rows[:-1] if not RECORD_ROW.match(r)]
    check(not bad, f"rows not whole: {bad!r}")
    check(len(text) > rows_then, "no row was written after the disk was filled")
    size = len(text)
    polls = sim.polls()
    wait_for(lambda: sim.polls() >= polls + 2, 8, "polling stopped with the recording")
    check(os.path.getsize(record) == size, "rows were added after the recording stopped")
    idle_check(run, p, "after the recording stopped")
    leave_digital(run, digital, p)
    run.note(f"{len(rows) - 1} whole rows in {size} bytes; detail: {detail}")
