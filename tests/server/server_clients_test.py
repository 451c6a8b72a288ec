#!/usr/bin/python3
"""orvogps-server under Wine on a replayed capture, driven by real clients we
did not write (gpspipe, python3-gps, cgps) and by sockets sending the exact
strings OpenCPN and QGIS send.  The capture goes into the far end of pair 4
(COM4) ten cycles a second; the server listens on ports picked free at run
time.

  server_clients_test.py <vnullmodem.sh> <state-dir> <orvogps-server.exe> <capture>
"""
import json
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from server_harness import (DEADLINE_S, Client, Feeder, Output, free_port, nmea_valid, read_all,  # noqa: E402
                            run_server as start_server, state_env, wine_pid)

VNM, STATE, SERVER, CAPTURE = sys.argv[1:5]
PAIR = 4
BAUD = 230400
CYCLE_S = 0.1
ENV = state_env(STATE)

FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def run_server(*args):
    return start_server(VNM, STATE, ENV, SERVER, *args)


def gpspipe(port, flag):
    out = subprocess.run(["gpspipe", flag, "-n", "12", "127.0.0.1:%d" % port], capture_output=True,
                         text=True, timeout=DEADLINE_S)
    return out.stdout.splitlines()


def test_command_line(gpsd_port):
    bad = run_server("--max-clients", "0")
    out, _ = bad.communicate(timeout=60)
    check(bad.returncode == 2 and "usage: orvogps-server" in out, "a bad option: usage line, exit 2")
    busy = run_server("--port", "COM4", "--listen", "127.0.0.1:%d" % gpsd_port, "--nmea-listen", "off")
    out, _ = busy.communicate(timeout=60)
    check(busy.returncode == 1 and "is in use" in out, "the gpsd port in use: clear message, exit 1 (%r)" % out)


def test_gpspipe(port):
    lines = gpspipe(port, "-w")
    print("\n".join("    " + l[:160] for l in lines))
    classes = [json.loads(l)["class"] for l in lines]
    check(classes[:3] == ["VERSION", "DEVICES", "WATCH"] and set(classes[3:]) <= {"TPV", "SKY"} and
          len(classes) == 12, "gpspipe -w -n 12: VERSION, DEVICES, WATCH, then TPV and SKY")
    tpv = [json.loads(l) for l in lines if '"class":"TPV"' in l]
    check(bool(tpv) and tpv[0]["mode"] == 3 and "lat" in tpv[0] and tpv[0]["device"] == "COM4",
          "gpspipe -w: a 3D fix on COM4")
    lines = gpspipe(port, "-r")
    print("\n".join("    " + l[:160] for l in lines))
    check(len(lines) == 12 and all(nmea_valid(l) for l in lines[3:]),
          "gpspipe -r -n 12: the three objects, then verified sentences")


def test_python_gps(port):
    code = ("import gps\n"
            "s = gps.gps(host='127.0.0.1', port='%d', mode=gps.WATCH_ENABLE)\n"
            "for r in s:\n"
            "    if r['class'] == 'TPV':\n"
            "        print(dict(r)); break\n" % port)
    out = subprocess.run(["/usr/bin/python3", "-c", code], capture_output=True, text=True, timeout=DEADLINE_S)
    print("    " + out.stdout.strip())
    check("'lat':" in out.stdout and "'mode': 3" in out.stdout, "python3-gps: the first TPV has the fix")


def test_cgps(port):
    sock = "orvo-server-test-%d" % os.getpid()
    tmux = ["tmux", "-L", sock]
    subprocess.run(tmux + ["new", "-d", "-s", "t", "-x", "100", "-y", "40", "cgps 127.0.0.1:%d" % port], check=True)
    screen = ""
    try:
        end = time.monotonic() + DEADLINE_S
        while time.monotonic() < end:
            screen = subprocess.run(tmux + ["capture-pane", "-p", "-t", "t"], capture_output=True,
                                    text=True).stdout
            if re.search(r"Latitude:\s+\d+\.\d+", screen) and "3D FIX" in screen:
                break
            time.sleep(0.5)  # polling a screen, with the deadline above
    finally:
        subprocess.run(tmux + ["kill-server"], capture_output=True)
    print("\n".join("    " + l for l in screen.rstrip().splitlines()))
    check(re.search(r"Latitude:\s+\d+\.\d+", screen) is not None and "3D FIX" in screen,
          "cgps shows the 3D fix")


def nmea_only(client, count):
    end = time.monotonic() + DEADLINE_S
    lines = [client.line(max(0, end - time.monotonic())) for _ in range(count)]
    return all(l is not None and l.endswith(b"\r\n") and nmea_valid(l[:-2].decode()) for l in lines)


def test_opencpn_qgis_nmea(gpsd_port, nmea_port):
    for name, request in (("OpenCPN", b'?WATCH={"class":"WATCH", "nmea":true}'),
                          ("QGIS", b'?WATCH={"enable":true,"nmea":true,"raw":true};')):
        c = Client(gpsd_port)
        c.send(request)
        head = [json.loads(c.line())["class"] for _ in range(3)]
        check(head == ["VERSION", "DEVICES", "WATCH"] and nmea_only(c, 40),
              "%s's WATCH without a line end: the objects, then sentences only" % name)
        c.close()
    c = Client(nmea_port)
    c.send(b'$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n?WATCH={"enable":true}\n')
    check(nmea_only(c, 40), "NMEA port: verified sentences with CR LF at once, client input ignored")
    c.close()


def test_bad_requests(port):
    c = Client(port)
    c.line()
    c.send(b"?FOO;\n")
    check(c.line() == b'{"class":"ERROR","message":"Unrecognized request \'?FOO;\\n\'"}\r\n',
          "an unknown request: gpsd's ERROR")
    c.send(b'?WATCH={"json":5}\n')
    got = [json.loads(c.line())["class"] for _ in range(3)]
    check(got == ["ERROR", "DEVICES", "WATCH"], "a bad WATCH: ERROR, then DEVICES and WATCH")
    c.send(b"?WATCH={" + b" " * 9000)
    line = c.line()
    check(line is not None and b"ERROR" in line and c.ends(), "a request over 8 KiB: ERROR, then disconnected")
    c.close()


def tpv_times(clients, count):
    """Reads every client at once until each has count TPVs: their times."""
    times = {c: [] for c in clients}

    def on_line(c, line, _):
        if line.startswith(b'{"class":"TPV"'):
            times[c].append(json.loads(line)["time"])
    read_all(clients, on_line, lambda: all(len(t) >= count for t in times.values()), DEADLINE_S * 2)
    return [times[c] for c in clients]


def test_many_clients(port, out):
    # A client that never reads, with a small receive buffer.
    stuck = Client(port, rcvbuf=4096)
    stuck.send(b'?WATCH={"enable":true,"json":true,"nmea":true}\n')
    watchers = [Client(port) for _ in range(63)]
    for w in watchers:
        w.send(b'?WATCH={"enable":true,"json":true}\n')
    extra = Client(port)
    check(extra.line() is None and extra.closed and extra.buf == b"", "the 65th client is closed at once, sent nothing")
    extra.close()
    # Every watcher sees the same epochs, none missing: from the first TPV
    # all of them have, the next 30 are the same for each.
    runs = tpv_times(watchers, 60)
    common = [t for t in runs[0] if all(t in r for r in runs)]
    aligned = [r[r.index(common[0]):][:30] if common else [] for r in runs]
    check(len(aligned) == 63 and all(a == aligned[0] and len(a) == 30 for a in aligned) and
          len(set(aligned[0])) == 30, "63 reading watchers and one that never reads: every watcher gets every epoch")
    # The one that never read is disconnected on its own while the others go
    # on: the server says so, and the socket ends after what was in flight.
    behind = out.wait_for("lines behind for", timeout=90)
    check(behind and stuck.ends(), "the watcher that never reads is disconnected once far behind")
    # Clients that come and go in the freed place, some reset at once,
    # disturb no watcher: each still sees the same run of epochs.
    stop = threading.Event()

    def churn():
        while not stop.is_set():
            c = socket.socket()
            c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))  # close resets
            try:
                c.connect(("127.0.0.1", port))
                c.sendall(b'?WATCH={"enable":true,"json":true,"nmea":true}\n?POLL;')
                c.recv(100)
            except OSError:
                pass
            c.close()
    churner = threading.Thread(target=churn, daemon=True)
    churner.start()
    later = tpv_times(watchers, 40)
    stop.set()
    churner.join()
    common = [t for t in later[0] if all(t in r for r in later)]
    aligned = [r[r.index(common[0]):][:30] if common else [] for r in later]
    check(all(a == aligned[0] and len(a) == 30 for a in aligned),
          "the other watchers go on, every epoch, while clients connect and reset at any moment")
    stuck.close()
    for w in watchers:
        w.close()


def served_client(port):
    """A client the server has taken (its VERSION came): the watchers closed
    just before may still hold their places for a moment, and a client past
    --max-clients is closed at once."""
    end = time.monotonic() + DEADLINE_S
    while True:
        c = Client(port)
        got = c.objects("VERSION", timeout=max(0.1, end - time.monotonic()))
        if (got and got[-1]["class"] == "VERSION") or time.monotonic() >= end:
            return c
        c.close()
        time.sleep(0.1)  # polling for a free place, with the deadline above


def test_unplug(port):
    c = served_client(port)
    c.send(b'?WATCH={"enable":true,"json":true}\n')
    c.objects("WATCH")
    subprocess.run(["sh", VNM, "unplug", STATE, str(PAIR)], check=True)
    gone = [o for o in c.objects("DEVICE") if o["class"] == "DEVICE"]
    check(bool(gone) and gone[-1].get("activated") == 0, "unplugged: watchers get DEVICE activated 0")
    subprocess.run(["sh", VNM, "replug", STATE, str(PAIR)], check=True)
    back = [o for o in c.objects("DEVICE") if o["class"] == "DEVICE"]
    check(bool(back) and isinstance(back[-1].get("activated"), str) and back[-1].get("bps") == BAUD,
          "replugged: DEVICE back with its speed, on the same connection")
    again = c.objects("TPV")
    check(bool(again) and again[-1]["class"] == "TPV", "replugged: TPVs again")
    c.close()


def main():
    gpsd_port, nmea_port = free_port(), free_port()
    feeder = Feeder(ENV["ORVO_FAR%d" % PAIR], CAPTURE, BAUD, CYCLE_S)
    feeder.start()
    server = run_server("--port", "COM%d" % PAIR, "--baud", str(BAUD), "--listen", "127.0.0.1:%d" % gpsd_port,
                        "--nmea-listen", "127.0.0.1:%d" % nmea_port)
    out = Output(server)
    out.start()
    try:
        if not check(out.wait_for("receiving at %d baud" % BAUD, 90), "the server receives COM%d" % PAIR):
            return
        test_command_line(gpsd_port)
        test_gpspipe(gpsd_port)
        test_python_gps(gpsd_port)
        test_cgps(gpsd_port)
        test_opencpn_qgis_nmea(gpsd_port, nmea_port)
        test_bad_requests(gpsd_port)
        test_many_clients(gpsd_port, out)
        test_unplug(gpsd_port)
        # Ctrl+C: every socket closed, exit 0.
        watcher = Client(gpsd_port)
        pid = wine_pid(SERVER)
        check(pid is not None, "the server's process is found")
        if pid:
            os.kill(pid, signal.SIGINT)
        check(watcher.ends() and server.wait(timeout=60) == 0 and out.wait_for("stopped", 5),
              "Ctrl+C: clients disconnected, exit 0")
    finally:
        feeder.stop.set()
        if server.poll() is None:
            pid = wine_pid(SERVER)
            if pid:
                os.kill(pid, signal.SIGKILL)
            server.kill()
        print("server output:\n" + "\n".join("    " + l for l in out.lines))
    sys.exit(1 if FAILURES else 0)


main()
