#!/usr/bin/env python3
"""Measures gps-sim's output rate through a pseudo-terminal.

Usage: measure_pacing.py GPS_SIM [SECONDS] [BAUD...]

For each rate, runs gps-sim twice on the slave side of a fresh pty and reads
the master: once with back-to-back cycles (--cycle-ms 0, the line kept busy,
so only the pacing limits the rate) and once as a receiver normally runs (one
cycle a second).  Prints the average bytes/s, the most bytes seen in any
one-second window, the line's limit (baud / 10), and the simulator's CPU time.
"""
import os
import resource
import select
import signal
import subprocess
import sys
import time


def measure(sim, baud, cycle_ms, seconds):
    master, slave = os.openpty()
    path = os.ttyname(slave)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    child = subprocess.Popen([sim, "--baud", str(baud), "--cycle-ms", str(cycle_ms),
                              "--quiet", path])
    arrivals = []
    end = time.monotonic() + seconds
    while True:
        remaining = end - time.monotonic()
        if remaining <= 0:
            break
        ready, _, _ = select.select([master], [], [], remaining)
        if ready:
            arrivals.append((time.monotonic(), len(os.read(master, 4096))))
    child.send_signal(signal.SIGTERM)
    child.wait(timeout=5)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    os.close(master)
    os.close(slave)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

    first = arrivals[0][0]
    total = sum(n for _, n in arrivals)
    span = end - first
    # Most bytes arriving within one second after any arrival.  The arrival
    # that opens the window is left out: its bytes left the line before it.
    peak = 0
    j = 0
    window = 0
    for i, (t, n) in enumerate(arrivals):
        j = max(j, i + 1)
        while j < len(arrivals) and arrivals[j][0] <= t + 1.0:
            window += arrivals[j][1]
            j += 1
        peak = max(peak, window)
        if i + 1 < j:
            window -= arrivals[i + 1][1]
    return total / span, peak, cpu / seconds * 100


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sim = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
    rates = [int(b) for b in sys.argv[3:]] or [4800, 9600]
    print(f"{'baud':>6} {'cycles':>14} {'avg B/s':>8} {'peak 1s':>8} {'limit':>6} {'cpu %':>6}")
    for baud in rates:
        for cycle_ms, label in ((0, "back to back"), (1000, "1 per second")):
            avg, peak, cpu = measure(sim, baud, cycle_ms, seconds)
            print(f"{baud:>6} {label:>14} {avg:>8.1f} {peak:>8} {baud // 10:>6} {cpu:>6.2f}")


if __name__ == "__main__":
    main()
