#!/usr/bin/python3
"""Measures orvogps-server under Wine on replayed captures (pair 4 of a
vnullmodem state of its own) and prints the figures:
  1. latency from a sentence written into the far end of the cable to its
     receipt by a gpsd-protocol client watching with nmea and json, median
     and p99, with 1 and with 64 clients (1 Hz, 38400 baud, each sentence
     paced as the line carries it);
  2. the CPU the server and the Wine server use with a 1 Hz receiver at 9600
     baud and 10 json watchers;
  3. a 10 Hz multi-constellation receiver at 921600 baud to 64 watchers: what
     each received against what was sent, and what the server dropped.
  tools/measure-server.py [windows-build-dir]   (default build/windows; builds
                                                 orvogps-server first)
"""
import os
import signal
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from server_harness import Client, Feeder, Output, free_port, read_all, run_server, state_env, wine_pid  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "windows"))
VNM = os.path.join(ROOT, "tools", "vnullmodem.sh")
STATE = os.path.join(BUILD, "measure-server")
SERVER = os.path.join(BUILD, "server", "orvogps-server.exe")
CAPTURES = os.path.join(ROOT, "tests", "data", "captures")
PAIR = 4
SECONDS = 30
WATCH = b'?WATCH={"enable":true,"json":true,"nmea":true}\n'


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wineserver_pid():
    with open(os.path.join(STATE, "wineserver.pid")) as f:
        return int(f.read())


class Run:
    """The far-end receiver and the server for one measurement."""

    def __init__(self, env, capture, baud, cycle_s, paced):
        self.env = env
        self.port = free_port()
        self.feeder = Feeder(env["ORVO_FAR%d" % PAIR], os.path.join(CAPTURES, capture), baud, cycle_s, paced)
        self.feeder.start()
        self.server = run_server(VNM, STATE, env, SERVER, "--port", "COM%d" % PAIR, "--baud", str(baud),
                                 "--listen", "127.0.0.1:%d" % self.port, "--nmea-listen", "off")
        self.out = Output(self.server)
        self.out.start()
        if not self.out.wait_for("receiving at %d baud" % baud, 90):
            self.stop()
            sys.exit("the server does not receive: %s" % self.out.lines)

    def watchers(self, count, request=WATCH):
        clients = [Client(self.port) for _ in range(count)]
        for c in clients:
            c.send(request)
        for c in clients:
            c.objects("WATCH")
        return clients

    def stop(self):
        pid = wine_pid(SERVER)
        if pid:
            os.kill(pid, signal.SIGINT)
        self.server.wait(timeout=60)
        self.feeder.stop.set()
        self.feeder.join()
        return next((l for l in self.out.lines if l.startswith("dropped:")), "dropped: (not told)")


def latency(env, clients):
    run = Run(env, "ublox-8.log", 38400, 1.0, paced=True)
    watchers = run.watchers(clients)
    samples = []

    def on_line(_, line, now):
        sent = run.feeder.written.get(line.rstrip(b"\r\n"))
        if sent is not None and line.startswith(b"$"):
            samples.append((now - sent) * 1000)
    end = time.monotonic() + SECONDS
    read_all(watchers, on_line, lambda: time.monotonic() > end, SECONDS + 5)
    for c in watchers:
        c.close()
    dropped = run.stop()
    samples.sort()
    p99 = samples[int(len(samples) * 0.99)] if samples else float("nan")
    print("latency, far end to client, %2d client(s), 1 Hz at 38400 baud, %d s: median %.2f ms, p99 %.2f ms, "
          "max %.2f ms over %d sentences received (%s)" %
          (clients, SECONDS, statistics.median(samples) if samples else float("nan"), p99,
           samples[-1] if samples else float("nan"), len(samples), dropped), flush=True)


def cpu(env):
    run = Run(env, "ublox-8.log", 9600, 1.0, paced=True)
    watchers = run.watchers(10, b'?WATCH={"enable":true,"json":true}\n')
    pid, wineserver = wine_pid(SERVER), wineserver_pid()
    received = [0]

    def on_line(*_):
        received[0] += 1
    p0, s0, t0 = cpu_seconds(pid), cpu_seconds(wineserver), time.monotonic()
    end = t0 + SECONDS
    read_all(watchers, on_line, lambda: time.monotonic() > end, SECONDS + 5)
    p1, s1, t1 = cpu_seconds(pid), cpu_seconds(wineserver), time.monotonic()
    for c in watchers:
        c.close()
    run.stop()
    print("CPU, 1 Hz receiver at 9600 baud, 10 json watchers, %.1f s: orvogps-server %.2f%% of one core, "
          "wineserver %.2f%% (%d lines received)" %
          (t1 - t0, 100 * (p1 - p0) / (t1 - t0), 100 * (s1 - s0) / (t1 - t0), received[0]), flush=True)


def busy(env):
    run = Run(env, "ublox-neo-m9n-nmea.log", 921600, 0.1, paced=False)
    watchers = run.watchers(64)
    counts = {c: [0, 0] for c in watchers}  # sentences, TPVs
    sent0 = run.feeder.count

    def on_line(c, line, _):
        if line.startswith(b"$"):
            counts[c][0] += 1
        elif line.startswith(b'{"class":"TPV"'):
            counts[c][1] += 1
    # Counted from the moment every watcher is reading; the sentences still
    # on their way at the end are waited for.
    end = time.monotonic() + SECONDS
    read_all(watchers, on_line, lambda: time.monotonic() > end, SECONDS + 5)
    run.feeder.stop.set()
    run.feeder.join()
    sent = run.feeder.count - sent0
    read_all(watchers, on_line, lambda: False, 3)
    for c in watchers:
        c.close()
    dropped = run.stop()
    got = sorted(n for n, _ in counts.values())
    tpvs = sorted(t for _, t in counts.values())
    print("10 Hz, 4 constellations at 921600 baud, 64 watchers with json and nmea, %d s: %d sentences sent; "
          "each watcher received %d to %d sentences (those on their way when counting began count too) "
          "and %d to %d TPVs; %s" % (SECONDS, sent, got[0], got[-1], tpvs[0], tpvs[-1], dropped), flush=True)


def main():
    subprocess.run(["cmake", "--build", BUILD, "--target", "orvogps-server", "-j2"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["sh", VNM, "up", STATE], check=True)
    env = state_env(STATE)
    try:
        latency(env, 1)
        latency(env, 64)
        cpu(env)
        busy(env)
    finally:
        subprocess.run(["sh", VNM, "down", STATE])


main()
