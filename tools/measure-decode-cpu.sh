#!/usr/bin/env bash
# The CPU nmea-decode --gpsd and --state take against gpsd's own decoder,
# gpsdecode, on the 74 captures repeated 8 times (9.3 MB): paired runs, the
# three programs one after the other in each round, each reading the same
# file and writing to /dev/null; user + system seconds of each as the kernel
# counts them (wait4).  Prints every round and the medians.
#   tools/measure-decode-cpu.sh [NMEA-DECODE] [ROUNDS]
# (default build/native/tools/nmea-decode, 7 rounds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
decode=${1:-$root/build/native/tools/nmea-decode}
rounds=${2:-7}
[ -x "$decode" ] || { echo "$0: $decode not built" >&2; exit 2; }
command -v gpsdecode >/dev/null || { echo "$0: gpsdecode not installed (tools/install-deps.sh)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for _ in 1 2 3 4 5 6 7 8; do cat "$root"/tests/data/captures/*.log; done >"$work/captures.log"

python3 - "$decode" "$rounds" "$work/captures.log" <<'PY'
import os, statistics, sys

decode, rounds, capture = sys.argv[1], int(sys.argv[2]), sys.argv[3]
programs = [
    ("gpsdecode", ["gpsdecode"], True),
    ("nmea-decode --gpsd", [decode, "--gpsd", capture], False),
    ("nmea-decode --state", [decode, "--state", capture], False),
]

def cpu_seconds(argv, from_stdin):
    pid = os.fork()
    if pid == 0:
        os.dup2(os.open(capture if from_stdin else os.devnull, os.O_RDONLY), 0)
        os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
        os.execvp(argv[0], argv)
    _, status, usage = os.wait4(pid, 0)
    if status != 0:
        sys.exit(f"{argv[0]} failed: status {status}")
    return usage.ru_utime + usage.ru_stime

print(f"{os.path.getsize(capture)} bytes: the 74 captures 8 times; CPU seconds (user + system)")
print("round  " + "  ".join(f"{name:>20}" for name, _, _ in programs) + "   --gpsd/gpsdecode  --state/gpsdecode")
runs = {name: [] for name, _, _ in programs}
ratios = {"gpsd": [], "state": []}
for r in range(1, rounds + 1):
    seconds = [cpu_seconds(argv, stdin) for _, argv, stdin in programs]
    for (name, _, _), s in zip(programs, seconds):
        runs[name].append(s)
    ratios["gpsd"].append(seconds[1] / seconds[0])
    ratios["state"].append(seconds[2] / seconds[0])
    print(f"{r:5}  " + "  ".join(f"{s:20.3f}" for s in seconds) +
          f"   {ratios['gpsd'][-1]:16.3f}  {ratios['state'][-1]:17.3f}")
print("median " + "  ".join(f"{statistics.median(runs[name]):20.3f}" for name, _, _ in programs) +
      f"   {statistics.median(ratios['gpsd']):16.3f}  {statistics.median(ratios['state']):17.3f}")
PY
