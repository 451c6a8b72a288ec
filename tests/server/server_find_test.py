#!/usr/bin/python3
"""orvogps-server with its defaults for the receiver (--port auto --baud
auto): it finds a receiver replayed at 38400 baud on COM2, among every port
Windows lists, and serves it; Ctrl+C ends it with exit 0.

  server_find_test.py <vnullmodem.sh> <state-dir> <orvogps-server.exe> <capture>
"""
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from server_harness import DEADLINE_S, Feeder, Output, free_port, run_server, state_env, wine_pid  # noqa: E402

VNM, STATE, SERVER, CAPTURE = sys.argv[1:5]
ENV = state_env(STATE)
port = free_port()
feeder = Feeder(ENV["ORVO_FAR2"], CAPTURE, 38400, 1.0)
feeder.start()
server = run_server(VNM, STATE, ENV, SERVER, "--listen", "127.0.0.1:%d" % port, "--nmea-listen", "off")
out = Output(server)
out.start()
ok = out.wait_for("found on COM2 at 38400 baud", 120) and out.wait_for("receiving at 38400 baud", 60)
if ok:
    lines = subprocess.run(["gpspipe", "-w", "-n", "4", "127.0.0.1:%d" % port], capture_output=True, text=True,
                           timeout=DEADLINE_S).stdout.splitlines()
    print("\n".join(lines))
    ok = len(lines) == 4 and '"path":"COM2"' in lines[1] and '"class":"TPV"' in lines[3]
pid = wine_pid(SERVER)
if pid:
    os.kill(pid, signal.SIGINT)
ok = server.wait(timeout=60) == 0 and ok
feeder.stop.set()
print("\n".join(out.lines))
print("PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
