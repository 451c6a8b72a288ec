"""What the server's Wine tests and its measurement share: the receiver
played on the far end of a virtual null-modem cable (tools/vnullmodem.sh),
the server started under Wine, and line-reading TCP clients."""
import json
import os
import re
import select
import socket
import subprocess
import termios
import threading
import time

DEADLINE_S = 30  # the machine is shared: generous, never a pacing


def state_env(state):
    """The environment of a vnullmodem state directory (its env file)."""
    env = dict(os.environ)
    with open(os.path.join(state, "env")) as f:
        for line in f:
            m = re.match(r"export (\w+)='?([^']*)'?$", line.strip())
            if m:
                env[m.group(1)] = m.group(2)
    return env


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def nmea_valid(line):
    """$...*HH with the right checksum."""
    m = re.fullmatch(r"[$!]([^*]*)\*([0-9A-F]{2})", line)
    if not m:
        return False
    total = 0
    for ch in m.group(1).encode():
        total ^= ch
    return total == int(m.group(2), 16)


def cycles(path):
    """A capture's lines, each ended by CR LF, in cycles: a cycle starts at
    each GGA, RMC or GLL whose time differs from the cycle's."""
    groups, group, stamp = [], [], None
    with open(path, "rb") as f:
        for raw in f:
            if raw.startswith(b"#") or not raw.strip():
                continue
            line = raw.rstrip(b"\r\n") + b"\r\n"
            m = re.match(rb"\$..(GGA|RMC|GLL),(\d{6})", line)
            if m and stamp is not None and m.group(2) != stamp:
                groups.append(group)
                group = []
            if m:
                stamp = m.group(2)
            group.append(line)
    groups.append(group)
    return groups


class Feeder(threading.Thread):
    """Plays the receiver on the far end: one cycle of the capture every
    cycle_s, each sentence written as the line's speed would carry it when
    paced, reopening the far end after a replug.  written maps each sentence
    (without its line end) to the monotonic time it was last written."""

    def __init__(self, far, capture, baud, cycle_s, paced=False):
        super().__init__(daemon=True)
        self.far, self.baud, self.cycle_s, self.paced = far, baud, cycle_s, paced
        self.groups = cycles(capture)
        self.stop = threading.Event()
        self.written = {}
        self.count = 0  # sentences written

    def open_far(self):
        fd = os.open(self.far, os.O_WRONLY | os.O_NOCTTY)
        attrs = termios.tcgetattr(fd)
        attrs[0] = attrs[1] = attrs[3] = 0
        attrs[2] = termios.CS8 | termios.CREAD | termios.CLOCAL
        attrs[4] = attrs[5] = getattr(termios, "B%d" % self.baud)
        termios.tcsetattr(fd, termios.TCSANOW, attrs)
        return fd

    def run(self):
        fd, i = None, 0
        next_cycle = time.monotonic()
        while not self.stop.is_set():
            try:
                if fd is None:
                    fd = self.open_far()
                group = self.groups[i % len(self.groups)]
                if self.paced:
                    for line in group:
                        os.write(fd, line)
                        self.written[line[:-2]] = time.monotonic()
                        self.count += 1
                        time.sleep(len(line) * 10 / self.baud)  # the line's own pace
                else:
                    os.write(fd, b"".join(group))
                    now = time.monotonic()
                    for line in group:
                        self.written[line[:-2]] = now
                    self.count += len(group)
                i += 1
            except OSError:
                if fd is not None:
                    os.close(fd)
                fd = None  # unplugged: try again next cycle
            next_cycle += self.cycle_s
            self.stop.wait(max(0, next_cycle - time.monotonic()))


class Client:
    """A line-reading TCP client."""

    def __init__(self, port, rcvbuf=None):
        self.sock = socket.socket()
        if rcvbuf:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        self.sock.connect(("127.0.0.1", port))
        self.buf = b""  # the start of a line still coming
        self.pending = []  # lines read but not yet taken by line()
        self.closed = False

    def send(self, data):
        self.sock.sendall(data)

    def line(self, timeout=DEADLINE_S):
        """The next line with its line end, or None at the deadline or end."""
        end = time.monotonic() + timeout
        while not self.pending:
            left = end - time.monotonic()
            if left <= 0 or self.closed:
                return None
            ready, _, _ = select.select([self.sock], [], [], left)
            if ready:
                self.pending += self.take()
        return self.pending.pop(0)

    def take(self):
        """One read; the lines it completed."""
        try:
            data = self.sock.recv(65536)
        except ConnectionResetError:
            data = b""
        if not data:
            self.closed = True
        self.buf += data
        *lines, self.buf = self.buf.split(b"\n")
        return [l + b"\n" for l in lines]

    def objects(self, wanted, timeout=DEADLINE_S):
        """Reads until an object of class wanted; returns every object read."""
        got = []
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            line = self.line(end - time.monotonic())
            if line is None:
                break
            if line.startswith(b"{"):
                got.append(json.loads(line))
                if got[-1]["class"] == wanted:
                    return got
        return got

    def ends(self, timeout=DEADLINE_S):
        """True when the server closes the connection before the deadline."""
        end = time.monotonic() + timeout
        while not self.closed and time.monotonic() < end:
            self.line(end - time.monotonic())
        return self.closed

    def close(self):
        self.sock.close()


def read_all(clients, on_line, done, timeout):
    """Reads every client at once, calling on_line(client, line, time) for
    each line, until done() or the timeout."""
    end = time.monotonic() + timeout
    open_clients = list(clients)
    while open_clients and not done() and time.monotonic() < end:
        ready, _, _ = select.select([c.sock for c in open_clients], [], [], 0.5)
        now = time.monotonic()
        for c in open_clients:
            if c.sock in ready:
                for line in c.take():
                    on_line(c, line, now)
        open_clients = [c for c in open_clients if not c.closed]


def run_server(vnm, state, env, server, *args):
    cmd = ["sh", vnm, "run", state, "--shim", "--", server] + list(args)
    return subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, text=True)


def wine_pid(exe):
    """Wine's process for exe, whose command line starts with its path."""
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if f.read().split(b"\0")[0] == exe.encode():
                    return int(pid)
        except OSError:
            pass
    return None


class Output(threading.Thread):
    """Collects the server's output lines, for waiting on one."""

    def __init__(self, proc):
        super().__init__(daemon=True)
        self.proc, self.lines, self.cond = proc, [], threading.Condition()

    def run(self):
        for line in self.proc.stdout:
            with self.cond:
                self.lines.append(line.rstrip("\n"))
                self.cond.notify_all()

    def wait_for(self, text, timeout=DEADLINE_S):
        with self.cond:
            return self.cond.wait_for(lambda: any(text in l for l in self.lines), timeout)
