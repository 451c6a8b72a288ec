#!/usr/bin/env bash
# Measures the monitor's CPU under Wine and Xvfb, as a share of one core over
# 30 s (the process clock counts 10 ms ticks: 0.03 % each), and the Wine
# server's, which carries its window messages and its I/O: stopped, then
# showing a multi-constellation receiver (ublox-neo-m9n-nmea.log replayed by
# gps-sim at 38400 baud, one cycle a second) on a virtual COM1.  Twice: as the
# tests run it, with the harness playing line speeds inside the monitor's
# process on every read, and with that off (ORVO_VNM_SPEEDS=off), which is
# the monitor's and the library's own cost.  A third time with the sentences
# page shown instead of the signal bars, every sentence listed as it comes.
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

# shellcheck source=tools/wine-cpu.sh
. tools/wine-cpu.sh

# One monitor: stopped, then showing the receiver.  $1 names the case, $2 is
# the harness's speed setting, $3 the page under the plot.
measure_monitor() {
  ORVO_VNM_SPEEDS=$2 LD_PRELOAD="$ORVO_SHIM" wine "$monitor_exe" --port COM1 --baud auto --view "$3" &
  monitor_pid=$!
  probe fields >/dev/null
  monitor_unix_pid=$(wine_pid "$monitor_exe")
  # Settled after its start.
  sleep 2
  measure_cpu "stopped, $1" monitor "$monitor_unix_pid" "$server_pid" 30
  probe start-stop
  probe wait-link receiving 30 >/dev/null
  probe wait-fix 30 >/dev/null
  measure_cpu "showing a 1 Hz receiver of four constellations, $1" monitor "$monitor_unix_pid" "$server_pid" 30
  probe quit >/dev/null
  monitor_pid=""
}

server_pid=$(cat "$state/wineserver.pid")
"$sim" --quiet --baud 38400 --replay "$root/tests/data/captures/ublox-neo-m9n-nmea.log" "$ORVO_FAR1" &
sim_pid=$!
measure_monitor "the harness playing line speeds" on signals
measure_monitor "line speeds off (ORVO_VNM_SPEEDS=off)" off signals
measure_monitor "line speeds off, the sentences page shown" off sentences
