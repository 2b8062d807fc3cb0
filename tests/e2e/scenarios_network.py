"""The analyser behind a real ser2net: the simulator's pseudo-terminal bridged to
127.0.0.1, raw and with RFC 2217. The digital display polls through it and survives the
server stopped and started again; the stored tests are uploaded through it."""
import os
import shutil
import socket
import subprocess
import time

from flows import NO_RESPONSE, QUIET, answer, figures_lit, leave_digital, open_digital, start_program, upload_store
from harness import Failure, Skipped, check, deadline, end_process, wait_for
from registry import scenario


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Ser2net:
    """ser2net with a configuration of its own: one port, on 127.0.0.1 only, to the
    simulator's terminal."""

    def __init__(self, run, device, telnet):
        exe = shutil.which("ser2net") or shutil.which("ser2net", path="/usr/sbin:/usr/bin")
        if not exe:
            why = "ser2net is not installed (Debian package ser2net)"
            if os.environ.get("CI") == "true":
                raise Failure(why)
            raise Skipped(why)
        self.exe = exe
        self.run = run
        self.port = free_port()
        self.config = os.path.join(run.dir, "ser2net.yaml")
        accepter = "telnet(rfc2217),tcp" if telnet else "tcp"
        with open(self.config, "w") as f:
            f.write(f"connection: &analyser\n  accepter: {accepter},127.0.0.1,{self.port}\n"
                    f"  connector: serialdev,{device},9600n81,local\n")
        self.proc = None
        self.starts = 0
        run.services.append(("ser2net", self.stop))

    def start(self):
        self.starts += 1
        log = open(os.path.join(self.run.dir, f"ser2net{self.starts}.out"), "w")
        self.proc = subprocess.Popen([self.exe, "-n", "-u", "-P", os.path.join(self.run.dir, "ser2net.pid"), "-c",
                                      self.config], stdout=log, stderr=subprocess.STDOUT)
        end = time.time() + deadline(5)
        while time.time() < end:
            if self.proc.poll() is not None:
                break
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        why = f"ser2net took no connection on 127.0.0.1 port {self.port}"
        if os.environ.get("CI") == "true":
            raise Failure(why)
        raise Skipped(why)

    def stop(self):
        if self.proc:
            end_process(self.proc)


def bridged(run, telnet):
    sim = run.start_sim(*QUIET)
    server = Ser2net(run, sim.path, telnet)
    server.start()
    scheme = "rfc2217" if telnet else "tcp"
    run.env["QOVA_COM1"] = f"{scheme}://127.0.0.1:{server.port}"
    return sim, server


def polls_through_a_restart(run, sim, server, main):
    """On the digital display: polls, ser2net stopped for about two polls and started
    again, polls again; then the display is left."""
    digital = open_digital(run, main)
    wait_for(lambda: figures_lit(run, digital, run.screenshot("digital")) > 0.02, 10, "no figures through ser2net")
    wait_for(lambda: "Communication: OK" in run.status_bar_text(digital, run.screenshot("polling")), 6,
             "the status bar never read Communication: OK through ser2net")
    before = sim.polls()
    wait_for(lambda: sim.polls() - before >= 2, 4.2, "fewer than two polls through ser2net")

    server.stop()
    wait_for(lambda: "Communication: Error" in run.status_bar_text(digital, run.screenshot("server_stopped")), 8,
             "the status bar never read Communication: Error with ser2net stopped")
    down = sim.polls()
    server.start()

    def resumed():
        # On a busy machine the box about the silence may come before the server is back;
        # polling waits for the operator to answer it, as it does with a serial line.
        for box in run.windows("QOVA"):
            answer(run, box, "Return")
        return sim.polls() >= down + 2

    wait_for(resumed, 10, "polling did not resume after ser2net started again")
    wait_for(lambda: "Communication: OK" in run.status_bar_text(digital, run.screenshot("resumed")), 8,
             "the status bar never read Communication: OK again after ser2net started again")
    texts = run.message_texts()
    check(set(texts) <= {NO_RESPONSE}, f"boxes shown: {texts!r}")
    leave_digital(run, digital)


@scenario(kind="network", expected_s=30)
def network_raw_tcp_polls_through_a_server_restart(run):
    sim, server = bridged(run, telnet=False)
    p, main = start_program(run)
    polls_through_a_restart(run, sim, server, main)
    check(p.poll() is None, "the program ended")
    run.note(f"{sim.polls()} polls over raw TCP, ser2net started {server.starts} times")


def upload_times(sim, size):
    """The upload's span in the analyser's log (request to the last block taken) and the
    time its bytes need on a 9600 baud line: the acknowledgement, each block's data with its
    length byte and check word, and the end block."""
    log = sim.received()
    start = next(t for t, b in log if b == 0x44)
    taken = [t for t, b in log if b == ord("O") and t >= start]
    blocks = len(taken)
    wire_bytes = 1 + size + 3 * blocks
    return (taken[-1] - start) / 1000.0, wire_bytes * 10 / 9600.0, blocks


@scenario(kind="network", expected_s=45)
def network_rfc2217_polls_through_a_server_restart_and_uploads(run):
    sim, server = bridged(run, telnet=True)
    p, main = start_program(run)
    polls_through_a_restart(run, sim, server, main)

    data = os.path.join(run.dir, "MAY.QVS")
    viewer, size = upload_store(run, main, data)
    took, wire, blocks = upload_times(sim, size)
    ratio = took / wire
    # Paced by the data: the upload takes the line's time and little more, never the
    # fixed waits of a whole block.
    check(ratio < 2.0, f"the upload took {took:.2f} s for {wire:.2f} s of wire time")
    run.key(viewer, "alt+m")
    run.wait_gone(viewer)
    check(p.poll() is None, "the program ended")
    run.note(f"upload over RFC 2217: {size // 30} tests in {blocks} blocks, {took:.2f} s for {wire:.2f} s on the wire "
              f"(ratio {ratio:.2f})")
