#!/usr/bin/env bash
# Measures the monitor's CPU under Wine and Xvfb, as a share of one core over
# 30 s (the process clock counts 10 ms ticks: 0.03 % each), and the Wine
# server's, which carries its window messages and its I/O: stopped, then
# showing a multi-constellation receiver (ublox-neo-m9n-nmea.log replayed by
# gps-sim at 38400 baud, one cycle a second) on a virtual COM1.  Twice: as the
# tests run it, with the harness playing line speeds inside the monitor's
# process on every read, and with that off (ORVO_VNM_SPEEDS=off), which is
# the monitor's and the library's own cost.
#   tools/measure-monitor.sh     (needs ./demo.sh --monitor's builds)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

monitor_exe="$root/build/windows/monitor/orvogps-monitor.exe"
probe_exe="$root/build/windows/tools/monitor-probe.exe"
sim="$root/build/native/tools/gps_sim/gps-sim"
for f in "$monitor_exe" "$probe_exe" "$sim"; do
  [ -e "$f" ] || { echo "$0: $f is not built (run ./demo.sh --monitor --headless once)" >&2; exit 2; }
done

state="$root/build/measure-monitor"
mkdir -p "$state"
sim_pid=""
monitor_pid=""
cleanup() {
  [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  tools/vnullmodem.sh down "$state" >/dev/null || true
}
trap cleanup EXIT
tools/vnullmodem.sh up "$state" --display >/dev/null
# shellcheck disable=SC1091
. "$state/env"
probe() { wine "$probe_exe" "$@"; }

# Seconds of CPU (user + system) a process has used so far.
cpu_seconds() {
  awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"
}

# The one process whose command line is this build's monitor.
unix_pid() {
  local p
  for p in $(pgrep -f "$monitor_exe"); do
    if tr '\0' ' ' <"/proc/$p/cmdline" | grep -q "^$monitor_exe"; then echo "$p"; return 0; fi
  done
  return 1
}

measure_cpu() {
  local m0 s0 t0 m1 s1 t1
  m0=$(cpu_seconds "$monitor_unix_pid"); s0=$(cpu_seconds "$server_pid"); t0=$(date +%s.%N)
  sleep 30
  m1=$(cpu_seconds "$monitor_unix_pid"); s1=$(cpu_seconds "$server_pid"); t1=$(date +%s.%N)
  awk -v l="$1" -v m0="$m0" -v m1="$m1" -v s0="$s0" -v s1="$s1" -v t0="$t0" -v t1="$t1" 'BEGIN {
    t = t1 - t0
    printf "CPU over %.1f s, %s: monitor %.2f%% of one core, wineserver %.2f%%\n",
      t, l, 100 * (m1 - m0) / t, 100 * (s1 - s0) / t
  }'
}

# One monitor: stopped, then showing the receiver.  $1 names the case, $2 is
# the harness's speed setting.
measure_monitor() {
  ORVO_VNM_SPEEDS=$2 LD_PRELOAD="$ORVO_SHIM" wine "$monitor_exe" --port COM1 --baud auto &
  monitor_pid=$!
  probe fields >/dev/null
  monitor_unix_pid=$(unix_pid)
  # Settled after its start.
  sleep 2
  measure_cpu "stopped, $1"
  probe start-stop
  probe wait-link receiving 30 >/dev/null
  probe wait-fix 30 >/dev/null
  measure_cpu "showing a 1 Hz receiver of four constellations, $1"
  probe quit >/dev/null
  monitor_pid=""
}

server_pid=$(cat "$state/wineserver.pid")
"$sim" --quiet --baud 38400 --replay "$root/tests/data/captures/ublox-neo-m9n-nmea.log" "$ORVO_FAR1" &
sim_pid=$!
measure_monitor "the harness playing line speeds" on
measure_monitor "line speeds off (ORVO_VNM_SPEEDS=off)" off
