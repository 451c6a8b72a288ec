#!/usr/bin/env bash
# Figures for finding a receiver's speed and getting it back after an unplug,
# under Wine on a virtual cable (pair 4), gps-sim talking once a second at
# each speed in turn.  For each speed, a fresh process (so the search starts
# at 4800) prints the time from OrvoGPSOpenWith to the first sentence, and the
# time from each replug (the cable back and gps-sim restarted, as a receiver
# powered from the USB cable starts talking) to the first sentence after it;
# at the first speed, the CPU of the whole process while the device is gone.
#   tools/measure-link.sh [build-dir] [replugs] [lost-seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
replugs=${2:-3}
lost=${3:-30}
bench="$build/windows/tests/comport/link_bench.exe"
sim="$build/native/tools/gps_sim/gps-sim"
[ -x "$sim" ] && [ -f "$bench" ] || { echo "build native (gps-sim) and windows (link_bench) first" >&2; exit 2; }
state="$build/windows/link-bench"
vnm="$root/tools/vnullmodem.sh"
sim_pid=""

stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
start_sim() {
  "$sim" --baud "$1" --quiet "$ORVO_FAR4" &
  sim_pid=$!
}
cleanup() {
  stop_sim
  "$vnm" down "$state" >/dev/null 2>&1 || true
}
trap cleanup EXIT

"$vnm" up "$state" >/dev/null
# shellcheck disable=SC1091
. "$state/env"
for baud in 4800 9600 38400 115200 19200 57600 230400 460800 921600; do
  window=0
  [ "$baud" = 4800 ] && window=$lost
  rm -f "$state"/cable.*
  start_sim "$baud"
  "$vnm" run "$state" --shim -- "$bench" "$baud" "$replugs" "$window" 2>/dev/null \
    | grep --line-buffered baud &
  bench_pid=$!
  while kill -0 "$bench_pid" 2>/dev/null; do
    if [ -e "$state/cable.unplug" ]; then
      "$vnm" unplug "$state" 4
      stop_sim
      rm -f "$state/cable.unplug"
      touch "$state/cable.unplug.done"
    fi
    if [ -e "$state/cable.replug" ]; then
      "$vnm" replug "$state" 4
      start_sim "$baud"
      rm -f "$state/cable.replug"
      touch "$state/cable.replug.done"
    fi
    sleep 0.05
  done
  wait "$bench_pid" || echo "$baud baud: the bench failed"
  stop_sim
done
