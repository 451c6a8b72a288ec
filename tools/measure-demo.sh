#!/usr/bin/env bash
# Measures the demo end to end under Wine and Xvfb, on a virtual COM1 driven
# by gps-sim at 4800 baud, and prints:
#   - the demo's CPU (and the Wine server's) over 10 s while stopped and
#     while it shows a 1 Hz fix, as a share of one core;
#   - the latency from gps-sim writing the last byte of a GGA sentence to the
#     panel showing that sentence's HDOP (the last of the eleven fields the
#     panel fills), over N sentences: median, p99, max.
#   tools/measure-demo.sh [N]      (default 100; needs ./demo.sh's builds)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
count=${1:-100}

demo_exe="$root/build/windows/app/orvogps-demo.exe"
probe_exe="$root/build/windows/tools/demo-probe.exe"
sim="$root/build/native/tools/gps_sim/gps-sim"
for f in "$demo_exe" "$probe_exe" "$sim"; do
  [ -e "$f" ] || { echo "$0: $f is not built (run ./demo.sh --headless once)" >&2; exit 2; }
done

state="$root/build/measure"
mkdir -p "$state"
sim_pid=""
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  tools/vnullmodem.sh down "$state" >/dev/null || true
}
trap cleanup EXIT
tools/vnullmodem.sh up "$state" --display
# shellcheck disable=SC1091
. "$state/env"
probe() { wine "$probe_exe" "$@"; }

# shellcheck source=tools/wine-cpu.sh
. tools/wine-cpu.sh

# Part 1: CPU while stopped, then while showing the synthesized receiver's
# 1 Hz fix.
LD_PRELOAD="$ORVO_SHIM" wine "$demo_exe" &
demo_pid=$!
probe fields >/dev/null
demo_unix_pid=$(wine_pid "$demo_exe")
server_pid=$(cat "$state/wineserver.pid")
measure_cpu "stopped" demo "$demo_unix_pid" "$server_pid" 10
"$sim" --quiet "$ORVO_FAR1" &
sim_pid=$!
probe start COM1 >/dev/null
probe wait-fix 30 >/dev/null
measure_cpu "showing a 1 Hz fix" demo "$demo_unix_pid" "$server_pid" 10
probe stop >/dev/null
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true

# Part 2: latency.  GGA sentences with distinct times and distinct HDOPs,
# four a second at 4800 baud (72 bytes take 150 ms on the line).
gga="$state/latency-gga.nmea"
: >"$gga"
for ((i = 0; i < count + 5; i++)); do
  printf -v body 'GPGGA,%02d%02d%02d.00,4807.0380,N,01131.0000,E,1,08,%d.%02d,545.4,M,46.9,M,,' \
    $((12 + i / 3600)) $((i / 60 % 60)) $((i % 60)) $((1 + i / 100)) $((i % 100))
  sum=0
  for ((j = 0; j < ${#body}; j++)); do
    printf -v code '%d' "'${body:j:1}"
    sum=$((sum ^ code))
  done
  printf '$%s*%02X\r\n' "$body" "$sum" >>"$gga"
done
stamps="$state/latency-sim.txt"
shown="$state/latency-shown.txt"
rm -f "$stamps" "$shown"
probe start COM1 >/dev/null
probe watch "$count" >"$shown" &
watch_pid=$!
for ((i = 0; i < 200; i++)); do
  grep -q '^# watching' "$shown" 2>/dev/null && break
  sleep 0.1
done
"$sim" --quiet --replay "$gga" --cycle-ms 250 --loops 1 --timestamps "$stamps" "$ORVO_FAR1" &
sim_pid=$!
wait "$watch_pid"
kill "$sim_pid" 2>/dev/null || true
probe stop >/dev/null

# Join on the HDOP: "1.05" in the sentence ("1.050000" on screen) is
# sentence 5.  The timestamp log holds each sentence's first 20 characters,
# which give its time: hhmmss counts the sentences too.
awk '
  FNR == NR {
    split($3, f, ","); t = substr(f[2], 1, 6)
    n = substr(t, 1, 2) * 3600 + substr(t, 3, 2) * 60 + substr(t, 5, 2) - 12 * 3600
    sent[n] = $1; next
  }
  /^#/ { next }
  { n = int($2 * 100 + 0.5) - 100; if (n in sent) print ($1 - sent[n]) / 1e6 }
' "$stamps" "$shown" | sort -n >"$state/latency-ms.txt"
n=$(wc -l <"$state/latency-ms.txt")
[ "$n" -gt 0 ] || { echo "$0: no sentence was matched" >&2; exit 1; }
awk -v n="$n" '
  { v[NR] = $1 }
  END {
    p99 = int(0.99 * n + 0.999); if (p99 < 1) p99 = 1
    printf "latency over %d GGA sentences, last byte written to the fix shown whole: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
      n, (n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2), v[p99], v[n]
  }' "$state/latency-ms.txt"
probe quit >/dev/null
demo_pid=""
