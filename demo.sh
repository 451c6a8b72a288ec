#!/usr/bin/env bash
# Sets everything up and runs the demo: installs the packages, builds, makes a
# virtual null-modem cable whose near end is the demo's COM port, starts the
# simulated receiver (gps-sim) on its far end and starts the demo under Wine.
#
# With a display the demo opens on it: pick the port, press GO; closing the
# demo stops everything this script started.  Without one (or with
# --headless) the demo runs under Xvfb, GO is pressed for you, and the script
# saves a screenshot, prints the panel's fields, stops and exits.
#
# With --monitor the monitor (orvogps-monitor.exe) runs instead, on a
# multi-constellation receiver replayed at 38400 baud, with the port and the
# speed on Auto for it to find.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
script_started=$(date +%s.%N)

usage() {
  cat <<'EOF'
usage: ./demo.sh [--monitor] [--headless] [--replay FILE] [--baud N] [--port COMn] [--device PATH]
                 [--shot FILE.png] [--view signals|sentences|steadiness] [--settle SECONDS]
  --monitor       run the monitor instead of the demo (replays
                  tests/data/captures/ublox-neo-m9n-nmea.log at 38400 baud
                  unless --replay and --baud say otherwise)
  --headless      run under Xvfb, press GO (Start), screenshot, print the fix, exit
  --replay FILE   the simulator plays an NMEA capture instead of synthesizing
  --baud N        the simulator's speed (default 4800; 38400 with --monitor)
  --port COMn     the demo's port, COM1 to COM4 (default COM1)
  --device PATH   a real receiver (e.g. /dev/ttyUSB0) as the demo's port
                  instead of the simulator
  --shot FILE     where the headless run saves its screenshot
                  (default build/demo/demo-screenshot.png, or
                  build/demo/monitor-screenshot.png with --monitor)
  --view PAGE     the monitor's page under the sky plot (default signals)
  --settle N      the monitor's headless run waits N seconds after the first
                  fix before its screenshot (default 2)
EOF
}

headless=0
monitor=0
replay=""
baud=""
port=COM1
device=""
shot=""
view=signals
settle=2
while [ $# -gt 0 ]; do
  case "$1" in
    --monitor) monitor=1 ;;
    --headless) headless=1 ;;
    --baud) baud=${2:?--baud needs a speed}; shift ;;
    --replay) replay=$(realpath "${2:?--replay needs a file}"); shift ;;
    --port) port=${2:?--port needs COM1 to COM4}; shift ;;
    --device) device=$(realpath "${2:?--device needs a path}"); shift ;;
    --shot) shot=$(realpath -m "${2:?--shot needs a file}"); shift ;;
    --view) view=${2:?--view needs a page}; shift ;;
    --settle) settle=${2:?--settle needs seconds}; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done
case "$port" in
  COM[1-4]) pair=${port#COM} ;;
  *) echo "demo.sh: --port takes COM1 to COM4" >&2; exit 2 ;;
esac
[ -z "$replay" ] || [ -r "$replay" ] || { echo "demo.sh: cannot read $replay" >&2; exit 2; }
[ -z "$device" ] || [ -e "$device" ] || { echo "demo.sh: no device $device" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || headless=1
if [ "$monitor" = 1 ]; then
  [ -n "$replay" ] || replay="$root/tests/data/captures/ublox-neo-m9n-nmea.log"
  [ -n "$baud" ] || baud=38400
  [ -n "$shot" ] || shot="$root/build/demo/monitor-screenshot.png"
fi
[ -n "$baud" ] || baud=4800
[ -n "$shot" ] || shot="$root/build/demo/demo-screenshot.png"

tools/install-deps.sh
echo "==== building"
cmake --preset native >/dev/null
cmake --build --preset native --target gps-sim -j "$(nproc)" >/dev/null
cmake --preset windows >/dev/null
if [ "$monitor" = 1 ]; then
  cmake --build --preset windows --target orvogps-monitor monitor-probe -j "$(nproc)" >/dev/null
  demo_exe="$root/build/windows/monitor/orvogps-monitor.exe"
  probe_exe="$root/build/windows/tools/monitor-probe.exe"
else
  cmake --build --preset windows --target orvogps-demo demo-probe -j "$(nproc)" >/dev/null
  demo_exe="$root/build/windows/app/orvogps-demo.exe"
  probe_exe="$root/build/windows/tools/demo-probe.exe"
fi
sim="$root/build/native/tools/gps_sim/gps-sim"

state="$root/build/demo"
mkdir -p "$state"
up_args=(up "$state")
[ "$headless" = 1 ] && up_args+=(--display)
[ -n "$device" ] && up_args+=(--device "$port=$device")
sim_pid=""
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  tools/vnullmodem.sh down "$state" || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM
echo "==== starting the virtual serial ports"
tools/vnullmodem.sh "${up_args[@]}"
# shellcheck disable=SC1091
. "$state/env"

if [ -z "$device" ]; then
  far_var="ORVO_FAR$pair"
  sim_args=(--device "${!far_var}" --baud "$baud")
  [ -n "$replay" ] && sim_args+=(--replay "$replay")
  echo "==== gps-sim on the far end of $port (log: $state/gps-sim.log)"
  "$sim" "${sim_args[@]}" 2>"$state/gps-sim.log" &
  sim_pid=$!
fi

if [ "$headless" = 0 ]; then
  if [ "$monitor" = 1 ]; then
    echo "==== the monitor is starting on $DISPLAY: press Start (Auto finds $port at $baud baud); close it to end"
  else
    echo "==== the demo is starting on $DISPLAY: pick $port and press GO; close it to end"
  fi
  if [ "$monitor" = 1 ]; then
    LD_PRELOAD="$ORVO_SHIM" wine "$demo_exe"
  else
    LD_PRELOAD="$ORVO_SHIM" wine "$demo_exe"
  fi
  exit 0
fi

if [ "$monitor" = 1 ]; then
  program=monitor desktop=orvogps-monitor size=1000x720 shown_what="sky and fix"
  program_args=(--port auto --baud auto --start --view "$view")
  echo "==== the monitor is starting under Xvfb ($DISPLAY), port and speed on Auto"
else
  program=demo desktop=orvogps size=420x400 shown_what="first fix"
  program_args=()
  echo "==== the demo is starting under Xvfb ($DISPLAY)"
fi
started=$(date +%s.%N)
LD_PRELOAD="$ORVO_SHIM" wine explorer "/desktop=$desktop,$size" "$demo_exe" "${program_args[@]}" &
demo_pid=$!
probe() { wine "$probe_exe" --desktop "$desktop" "$@"; }
if [ "$monitor" = 1 ]; then
  probe wait-link receiving 60
  probe wait-fix 60
  # Two more epochs at least: the first may still be a partial sky.
  sleep "$settle"
else
  probe start "$port"
  probe wait-fix 60
fi
shown=$(date +%s.%N)
mkdir -p "$(dirname "$shot")"
# The program sits at the top of an otherwise empty desktop: trimming the
# desktop's colour leaves its window (and the demo's status strip under it).
import -display "$DISPLAY" -window root -crop "$size+0+0" +repage png:- |
  convert png:- -trim +repage "$shot"
awk -v a="$script_started" -v b="$started" -v c="$shown" -v what="$shown_what" -v p="$program" \
  'BEGIN { printf "==== %s on screen %.1f s after demo.sh started (%.1f s after the %s did)\n", what, c - a, c - b, p }'
echo "==== screenshot: $shot"
probe fields
[ "$monitor" = 1 ] || probe stop
probe quit
wait "$demo_pid" 2>/dev/null || true
demo_pid=""
echo "==== done"
