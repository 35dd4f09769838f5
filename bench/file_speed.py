#!/usr/bin/env python3
"""Times a file transfer between two network namespaces against a plain TCP copy.

As root: `make bench-files`, or bench/file_speed.py [--build DIR] [--size-mib N] ...
The script makes two namespaces joined by a veth pair (10.98.0.1 and 10.98.0.2), a file of
the given size, and in each round, back to back:
  - a plain TCP copy of the file (a few lines of Python: read and send, receive into
    /dev/null), and
  - the same file sent by one end to the other: by default two tollix-cli, the sender told
    `sendfile`, the receiver started with --accept-files; with --ends engine two
    tollix-file-peer (a session manager and file engine without the rest of the program),
then prints both rates, their ratio and both ends' peak resident memory above what they
held before the transfer. While a tollix-cli transfer goes, each namespace announces
itself on the group every 100 ms and times the other end's answer, and the sender writes
a private text to the receiver every 100 ms, timed to its `delivered` line; the engine
ends report such figures themselves. The receiving end writes into a tmpfs of its own
unless --receive-dir names a folder, so that the disk is not measured (the plain copy
writes nothing either). --rate limits both directions of the veth (tc tbf, for example
1gbit) to time a link as fast as an office network's instead of the machine's memory.
Everything is removed when the script ends.
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

# The two ends of a transfer: how each is started ({program}, {dir}, {config} filled in), the
# line it prints once it is ready, and for the sender the command that sends a file ({path})
# and the lines that end a transfer. Lines of the form `NAME count N median_ms M p99_ms P
# max_ms X` that an end prints are reported as they are.
DONE, FAILED = r"^file\tdone\t|^file done ", r"^file\tfailed\t|^file failed "
ENDS = {
    "cli": {
        "program": "apps/tollix-cli/tollix-cli",
        "sender": {"argv": ["{program}", "--config", "{config}", "--first", "Sender"],
                   "ready": rf"^contact\t{re.escape(RECEIVE_ADDRESS)}\tonline\t",
                   "send": f"sendfile {RECEIVE_ADDRESS} {{path}}"},
        "receiver": {"argv": ["{program}", "--config", "{config}", "--first", "Receiver",
                              "--accept-files", "{dir}"],
                     "ready": r"^state\tconnected\tonline$"},
    },
    "engine": {
        "program": "bench/tollix-file-peer",
        "sender": {"argv": ["{program}", "send", SEND_ADDRESS, RECEIVE_ADDRESS],
                   "ready": r"^ready$", "send": "send {path}"},
        "receiver": {"argv": ["{program}", "receive", RECEIVE_ADDRESS, "{dir}"],
                     "ready": r"^ready$"},
    },
}
TEXT_INTERVAL = 0.1

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


def median_line(name, values, unit="ms"):
    if not values:
        return f"{name}: none"
    ordered = sorted(values)
    return (f"{name}: {len(values)}, median {statistics.median(ordered):.2f} {unit}, "
            f"maximum {ordered[-1]:.2f} {unit}")


class DuringTransfer:
    """What a tollix-cli transfer is measured by while it goes: each namespace announces
    itself every 100 ms and times the other end's answer (tollix-load probe), and the sender
    writes a private text to the receiver every 100 ms, timed to its `delivered` line."""

    def __init__(self, load_program, sender, log):
        self.sender = sender
        self.probes = [subprocess.Popen(in_ns(ns, [load_program, "probe", local, other, "0",
                                                   "100"]),
                                        stdout=subprocess.PIPE, stderr=log, text=True)
                       for ns, local, other in ((SEND_NS, SEND_ADDRESS, RECEIVE_ADDRESS),
                                                (RECEIVE_NS, RECEIVE_ADDRESS, SEND_ADDRESS))]
        self.texts_sent = []
        self.delivered_before = self._delivered()

    def _delivered(self):
        return [at for at, line in self.sender.lines if line and line.startswith("delivered\t")]

    def write_text(self):
        self.texts_sent.append(time.monotonic())
        self.sender.say(f"send {RECEIVE_ADDRESS} text {len(self.texts_sent)} during the transfer")

    def finish(self):
        """Report lines: the answers to announcements of both ends, the texts' delivery."""
        for probe in self.probes:
            probe.send_signal(signal.SIGTERM)
        answers = [probe.communicate(timeout=10)[0].strip() for probe in self.probes]
        # The texts' ACKs come in the order the texts went.
        deadline = time.monotonic() + 5
        while (len(self._delivered()) - len(self.delivered_before) < len(self.texts_sent)
               and time.monotonic() < deadline):
            time.sleep(0.05)
        delivered = self._delivered()[len(self.delivered_before):]
        delays = [1000 * (at - sent) for sent, at in zip(self.texts_sent, delivered)]
        return [f"receiver answering the sender's namespace: {answers[0]}",
                f"sender answering the receiver's namespace: {answers[1]}",
                median_line(f"private texts delivered (of {len(self.texts_sent)} written)",
                            delays)]


def make_namespaces(rate):
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
        # Without a default route, multicast goes out of eth0 only by a route of its own.
        run("ip", "-n", ns, "route", "add", "224.0.0.0/4", "dev", "eth0")
        if rate:
            run("tc", "-n", ns, "qdisc", "add", "dev", "eth0", "root", "tbf", "rate", rate,
                "burst", "256kb", "latency", "20ms")


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


def ends_copy(path, ends, build, inbox, work, seconds_allowed):
    """Seconds from the send command to the sender's end, peak RSS growth of both ends (KiB),
    the receiver's last line and what was measured meanwhile."""
    program = os.path.abspath(os.path.join(build, ends["program"]))
    argv = {}
    for name in ("sender", "receiver"):
        config = os.path.join(work, f"{name}-config")
        os.makedirs(config, exist_ok=True)
        fill = {"program": program, "dir": inbox, "config": config}
        argv[name] = [arg.format(**fill) for arg in ends[name]["argv"]]
    cli = ends is ENDS["cli"]
    with open(os.path.join(work, "ends.err"), "a") as log:
        receiver = End(RECEIVE_NS, argv["receiver"], log)
        if not receiver.wait_for(ends["receiver"]["ready"], 30):
            sys.exit("the receiving end did not start (see " + log.name + ")")
        sender = End(SEND_NS, argv["sender"], log)
        if not sender.wait_for(ends["sender"]["ready"], 30):
            sys.exit("the sending end did not start (see " + log.name + ")")
        sampler = ResidentSampler([sender.process.pid, receiver.process.pid])
        time.sleep(1)  # both ends idle: what they hold before the transfer
        idle = dict(sampler.current)
        sampler.reset()
        started = time.monotonic()
        sender.say(ends["sender"]["send"].format(path=path))
        during = DuringTransfer(os.path.join(build, "bench/tollix-load"), sender,
                                log) if cli else None
        ended = None
        while not ended and time.monotonic() - started < seconds_allowed:
            if during:
                during.write_text()
            ended = sender.wait_for(DONE + "|" + FAILED, TEXT_INTERVAL if during else
                                    seconds_allowed)
        finished_at = time.monotonic()
        received = receiver.wait_for(DONE + "|" + FAILED, 30)
        peak = dict(sampler.peak)
        during_reports = during.finish() if during else []
        time.sleep(0.2)  # the ends' figures follow their last line
        cpu = {"sender": sender.cpu_seconds(), "receiver": receiver.cpu_seconds()}
        sampler.stop()
        sender.stop()
        receiver.stop()
    if not ended or re.search(FAILED, ended[1]):
        sys.exit(f"the transfer failed: {ended[1] if ended else 'no end within the time'}")
    if not received or re.search(FAILED, received[1]):
        sys.exit(f"the receiver failed: {received[1] if received else 'no end'}")
    growth = {name: (peak[end.process.pid] - idle[end.process.pid])
              for name, end in (("sender", sender), ("receiver", receiver))}
    reports = [f"CPU seconds: sender {cpu['sender']:.2f}, receiver {cpu['receiver']:.2f}"]
    reports += during_reports
    reports += [f"sender {line}" for line in sender.figures()]
    reports += [f"receiver {line}" for line in receiver.figures()]
    return finished_at - started, growth, received[1], reports


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--ends", choices=sorted(ENDS), default="cli",
                        help="tollix-cli at both ends (default), or the file engine alone")
    parser.add_argument("--rate", help="limit the link to this rate (tc tbf), e.g. 1gbit")
    parser.add_argument("--size-mib", type=int, default=2048)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--sparse", action="store_true",
                        help="a sparse file (all zeros): fast to make, for sizes over 4 GiB")
    parser.add_argument("--receive-dir", help="receive into this folder, not a tmpfs")
    parser.add_argument("--skip-plain", action="store_true", help="time the ends only")
    options = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("needs root, to make network namespaces")
    for tool in ("ip", "python3") + (("tc",) if options.rate else ()):
        if not shutil.which(tool):
            sys.exit(f"needs {tool} (scripts/install-deps.sh bench-files)")
    work = tempfile.mkdtemp(prefix="tollix-file-speed.")
    inbox = options.receive_dir or os.path.join(work, "inbox")
    mounted = False
    try:
        make_namespaces(options.rate)
        if not options.receive_dir:
            os.mkdir(inbox)
            run("mount", "-t", "tmpfs", "-o", f"size={options.size_mib + 64}m", "tmpfs", inbox)
            mounted = True
        source = os.path.join(work, "source.bin")
        sha = make_file(source, options.size_mib, options.sparse)
        mib = options.size_mib
        print(f"{mib} MiB between two namespaces"
              f"{' over a link of ' + options.rate if options.rate else ''}, "
              f"{options.ends} at both ends; {os.cpu_count()} processors; "
              f"load average before: {os.getloadavg()[0]:.2f}", flush=True)
        ratios, plains, rates = [], [], []
        for round_number in range(1, options.rounds + 1):
            plain_seconds, plain_cpu = (plain_copy(source, work) if not options.skip_plain
                                        else (float("nan"), float("nan")))
            plain = mib / plain_seconds
            seconds, growth, received, reports = ends_copy(source, ENDS[options.ends],
                                                           options.build, inbox, work,
                                                           max(120, mib / 10))
            rate = mib / seconds
            if sha not in received:
                sys.exit(f"the received file's SHA-256 is not the source's: {received}")
            for name in os.listdir(inbox):
                os.remove(os.path.join(inbox, name))
            plains.append(plain)
            rates.append(rate)
            ratios.append(rate / plain)
            print(f"round {round_number}: plain copy {plain:.0f} MiB/s, {options.ends} {rate:.0f} "
                  f"MiB/s = {100 * rate / plain:.0f} % of it; resident memory above idle: "
                  f"sender {growth['sender'] / 1024:.1f} MiB, receiver "
                  f"{growth['receiver'] / 1024:.1f} MiB", flush=True)
            if not options.skip_plain:
                print(f"  CPU seconds of the plain copy (both ends): {plain_cpu:.2f}", flush=True)
            for line in reports:
                print(f"  {line}", flush=True)
        print(f"median of {options.rounds}: plain copy {statistics.median(plains):.0f} MiB/s, "
              f"{options.ends} {statistics.median(rates):.0f} MiB/s, "
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
