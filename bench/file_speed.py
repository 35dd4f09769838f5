#!/usr/bin/env python3
"""Times a file transfer between two network namespaces against a plain TCP copy.

As root: `make bench-files`, or bench/file_speed.py [--build DIR] [--size-mib N] ...
The script makes two namespaces joined by a veth pair (10.98.0.1 and 10.98.0.2), a file of
the given size, and in each round, back to back:
  - a plain TCP copy of the file (a few lines of Python: read and send, receive into
    /dev/null), and
  - the same file sent by one end to the other (by default tollix-file-peer, a real session
    manager and file engine; see SENDER and RECEIVER below to time other ends),
then prints both rates, their ratio, both ends' peak resident memory above what they held
before the transfer, and what the ends report about themselves (the lateness of their
event loops, the delay of texts sent while the file goes). The receiving end writes into a
tmpfs of its own unless --receive-dir names a folder, so that the disk is not measured (the
plain copy writes nothing either). Everything is removed when the script ends.
"""
import argparse
import hashlib
import os
import re
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

NS = f"tlxf{os.getpid()}"
SEND_NS, RECEIVE_NS = f"{NS}-send", f"{NS}-receive"
SEND_ADDRESS, RECEIVE_ADDRESS = "10.98.0.1", "10.98.0.2"
PLAIN_PORT = 5001

# The two ends of a transfer: how each is started ({peer_program}, {dir} filled in), the line it
# prints once it is ready, and for the sender the command that sends a file ({path}, {peer})
# and the lines that end a transfer. Lines of the form `NAME count N median_ms M p99_ms P
# max_ms X` that an end prints are reported as they are.
SENDER = {
    "argv": ["{peer_program}", "send", SEND_ADDRESS, RECEIVE_ADDRESS],
    "ready": r"^ready$",
    "send": "send {path}",
    "done": r"^file\tdone\t|^file done ",
    "failed": r"^file\tfailed\t|^file failed ",
}
RECEIVER = {
    "argv": ["{peer_program}", "receive", RECEIVE_ADDRESS, "{dir}"],
    "ready": r"^ready$",
    "done": r"^file\tdone\t|^file done ",
    "failed": r"^file\tfailed\t|^file failed ",
}

PLAIN_RECEIVER = f"""
import socket, sys
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("{RECEIVE_ADDRESS}", {PLAIN_PORT}))
listener.listen(1)
print("listening", flush=True)
connection, _ = listener.accept()
buffer = bytearray(1 << 20)
with open("/dev/null", "wb", buffering=0) as sink:
    while (got := connection.recv_into(buffer)) > 0:
        sink.write(memoryview(buffer)[:got])
connection.close()
"""
PLAIN_SENDER = f"""
import socket, sys, time
started = time.monotonic()
connection = socket.create_connection(("{RECEIVE_ADDRESS}", {PLAIN_PORT}),
                                      source_address=("{SEND_ADDRESS}", 0))
with open(sys.argv[1], "rb", buffering=0) as source:
    while block := source.read(1 << 20):
        connection.sendall(block)
connection.shutdown(socket.SHUT_WR)
connection.recv(1)  # the receiver has taken everything and closed
print(time.monotonic() - started, flush=True)
"""


def run(*argv, **kwargs):
    return subprocess.run(argv, check=True, **kwargs)


def in_ns(ns, argv):
    return ["ip", "netns", "exec", ns] + argv


class End:
    """A program in a namespace, its output lines timed as they come."""

    def __init__(self, ns, argv, log):
        self.lines = []
        self.changed = threading.Condition()
        self.process = subprocess.Popen(in_ns(ns, argv), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=log, text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            with self.changed:
                self.lines.append((time.monotonic(), line.rstrip("\n")))
                self.changed.notify_all()
        with self.changed:
            self.lines.append((time.monotonic(), None))
            self.changed.notify_all()

    def wait_for(self, pattern, seconds):
        """The time and text of the first line matching the pattern; None at the deadline
        or when the program has ended."""
        deadline = time.monotonic() + seconds
        with self.changed:
            while True:
                for at, line in self.lines:
                    if line is None:
                        return None
                    if re.search(pattern, line):
                        return at, line
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.changed.wait(left)

    def say(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def stop(self):
        try:
            self.process.stdin.close()
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()

    def cpu_seconds(self):
        """User and system time of the process so far (all its threads)."""
        with open(f"/proc/{self.process.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def figures(self):
        return [line for _, line in self.lines if line and " median_ms " in line]


class ResidentSampler:
    """Samples the resident memory of processes every 20 ms; `peak` since the last reset."""

    def __init__(self, pids):
        self.pids = pids
        self.current = {pid: 0 for pid in pids}
        self.peak = dict(self.current)
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while self.running:
            for pid in self.pids:
                try:
                    with open(f"/proc/{pid}/status") as status:
                        for line in status:
                            if line.startswith("VmRSS:"):
                                kib = int(line.split()[1])
                                self.current[pid] = kib
                                self.peak[pid] = max(self.peak[pid], kib)
                except OSError:
                    pass
            time.sleep(0.02)

    def reset(self):
        self.peak = dict(self.current)

    def stop(self):
        self.running = False
        self.thread.join()


def make_namespaces():
    for ns in (SEND_NS, RECEIVE_NS):
        run("ip", "netns", "add", ns)
        run("ip", "-n", ns, "link", "set", "lo", "up")
        for scope in ("all", "default"):
            run("ip", "netns", "exec", ns, "sysctl", "-qw",
                f"net.ipv6.conf.{scope}.disable_ipv6=1")
    run("ip", "-n", SEND_NS, "link", "add", "eth0", "type", "veth", "peer", "name", "eth0",
        "netns", RECEIVE_NS)
    for ns, address in ((SEND_NS, SEND_ADDRESS), (RECEIVE_NS, RECEIVE_ADDRESS)):
        run("ip", "-n", ns, "addr", "add", f"{address}/24", "dev", "eth0")
        run("ip", "-n", ns, "link", "set", "eth0", "up")


def remove_namespaces():
    for ns in (SEND_NS, RECEIVE_NS):
        pids = subprocess.run(["ip", "netns", "pids", ns], capture_output=True,
                              text=True).stdout.split()
        for pid in pids:
            try:
                os.kill(int(pid), signal.SIGKILL)
            except (OSError, ValueError):
                pass
        subprocess.run(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)


def make_file(path, mib, sparse):
    """A file of distinct 1 MiB blocks (or a sparse one, all zeros); its SHA-256."""
    sha = hashlib.sha256()
    with open(path, "wb") as file:
        if sparse:
            file.truncate(mib << 20)
        block = bytearray(1 << 20) if sparse else bytearray(os.urandom(1 << 20))
        for n in range(mib):
            if not sparse:
                block[:8] = n.to_bytes(8, "little")
                file.write(block)
            sha.update(block)
    return sha.hexdigest()


def plain_copy(path, work):
    """Seconds taken, and the CPU seconds of both ends."""
    with open(os.path.join(work, "plain.err"), "w") as log:
        receiver = End(RECEIVE_NS, [sys.executable, "-c", PLAIN_RECEIVER], log)
        if not receiver.wait_for("^listening$", 10):
            sys.exit("the plain receiver did not start")
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        seconds = float(subprocess.run(in_ns(SEND_NS, [sys.executable, "-c", PLAIN_SENDER, path]),
                                       check=True, capture_output=True, text=True).stdout)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        receiver.wait_for("^never$", 10)  # until it has ended
        cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
        cpu += receiver.cpu_seconds()  # an ended child not yet waited for keeps its times
        receiver.stop()
    return seconds, cpu


def engine_copy(path, program, inbox, work, seconds_allowed):
    """Seconds from the send command to the sender's end, peak RSS growth of both ends (KiB),
    and what the ends reported."""
    fill = {"peer_program": program, "dir": inbox, "path": path, "peer": RECEIVE_ADDRESS}
    argv = {name: [arg.format(**fill) for arg in end["argv"]]
            for name, end in (("sender", SENDER), ("receiver", RECEIVER))}
    with open(os.path.join(work, "ends.err"), "a") as log:
        receiver = End(RECEIVE_NS, argv["receiver"], log)
        if not receiver.wait_for(RECEIVER["ready"], 30):
            sys.exit("the receiving end did not start (see " + log.name + ")")
        sender = End(SEND_NS, argv["sender"], log)
        if not sender.wait_for(SENDER["ready"], 30):
            sys.exit("the sending end did not start (see " + log.name + ")")
        sampler = ResidentSampler([sender.process.pid, receiver.process.pid])
        time.sleep(1)  # both ends idle: what they hold before the transfer
        idle = dict(sampler.current)
        sampler.reset()
        started = time.monotonic()
        sender.say(SENDER["send"].format(**fill))
        ended = sender.wait_for(SENDER["done"] + "|" + SENDER["failed"], seconds_allowed)
        received = receiver.wait_for(RECEIVER["done"] + "|" + RECEIVER["failed"], 30)
        time.sleep(0.2)  # the ends' figures follow their last line
        peak = dict(sampler.peak)
        cpu = {"sender": sender.cpu_seconds(), "receiver": receiver.cpu_seconds()}
        sampler.stop()
        sender.stop()
        receiver.stop()
    if not ended or re.search(SENDER["failed"], ended[1]):
        sys.exit(f"the transfer failed: {ended[1] if ended else 'no end within the time'}")
    if not received or re.search(RECEIVER["failed"], received[1]):
        sys.exit(f"the receiver failed: {received[1] if received else 'no end'}")
    growth = {name: (peak[end.process.pid] - idle[end.process.pid])
              for name, end in (("sender", sender), ("receiver", receiver))}
    reports = [f"CPU seconds: sender {cpu['sender']:.2f}, receiver {cpu['receiver']:.2f}"]
    reports += [f"sender {line}" for line in sender.figures()]
    reports += [f"receiver {line}" for line in receiver.figures()]
    return ended[0] - started, growth, received[1], reports


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--peer", help="the ends' program (default: BUILD/bench/tollix-file-peer)")
    parser.add_argument("--size-mib", type=int, default=2048)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--sparse", action="store_true",
                        help="a sparse file (all zeros): fast to make, for sizes over 4 GiB")
    parser.add_argument("--receive-dir", help="receive into this folder, not a tmpfs")
    parser.add_argument("--skip-plain", action="store_true", help="time the ends only")
    options = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("needs root, to make network namespaces")
    for tool in ("ip", "python3"):
        if not shutil.which(tool):
            sys.exit(f"needs {tool} (scripts/install-deps.sh bench-files)")
    program = os.path.abspath(options.peer or os.path.join(options.build,
                                                           "bench/tollix-file-peer"))
    work = tempfile.mkdtemp(prefix="tollix-file-speed.")
    inbox = options.receive_dir or os.path.join(work, "inbox")
    mounted = False
    try:
        make_namespaces()
        if not options.receive_dir:
            os.mkdir(inbox)
            run("mount", "-t", "tmpfs", "-o", f"size={options.size_mib + 64}m", "tmpfs", inbox)
            mounted = True
        source = os.path.join(work, "source.bin")
        sha = make_file(source, options.size_mib, options.sparse)
        mib = options.size_mib
        print(f"{mib} MiB between two namespaces; {os.cpu_count()} processors; "
              f"load average before: {os.getloadavg()[0]:.2f}", flush=True)
        ratios, plains, engines = [], [], []
        for round_number in range(1, options.rounds + 1):
            plain_seconds, plain_cpu = (plain_copy(source, work) if not options.skip_plain
                                        else (float("nan"), float("nan")))
            plain = mib / plain_seconds
            seconds, growth, received, reports = engine_copy(source, program, inbox, work,
                                                              max(120, mib / 10))
            engine = mib / seconds
            if sha not in received:
                sys.exit(f"the received file's SHA-256 is not the source's: {received}")
            for name in os.listdir(inbox):
                os.remove(os.path.join(inbox, name))
            plains.append(plain)
            engines.append(engine)
            ratios.append(engine / plain)
            print(f"round {round_number}: plain copy {plain:.0f} MiB/s, engine {engine:.0f} "
                  f"MiB/s = {100 * engine / plain:.0f} % of it; resident memory above idle: "
                  f"sender {growth['sender'] / 1024:.1f} MiB, receiver "
                  f"{growth['receiver'] / 1024:.1f} MiB", flush=True)
            if not options.skip_plain:
                print(f"  CPU seconds of the plain copy (both ends): {plain_cpu:.2f}", flush=True)
            for line in reports:
                print(f"  {line}", flush=True)
        print(f"median of {options.rounds}: plain copy {statistics.median(plains):.0f} MiB/s, "
              f"engine {statistics.median(engines):.0f} MiB/s, "
              f"ratio {100 * statistics.median(ratios):.0f} % (target at least 80 %); "
              f"load average after: {os.getloadavg()[0]:.2f}")
    finally:
        remove_namespaces()
        if mounted:
            subprocess.run(["umount", inbox])
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    main()
