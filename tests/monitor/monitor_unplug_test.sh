#!/bin/sh
# The monitor on pair 3 (COM3) while the cable is pulled out and put back,
# twice, as a USB receiver's plug would be: the link line says the device is
# lost, then receiving again with one reconnection; closing the window while
# the device is lost ends the monitor at once (within 2 s).
#   monitor_unplug_test.sh <vnullmodem.sh> <state-dir> <orvogps-monitor.exe> <monitor-probe.exe>
set -eu
vnm=$1
state=$2
monitor=$3
probe_exe=$4
pair=3
# shellcheck disable=SC1091
. "$state/env"
far=$ORVO_FAR3
# One sentence a second, the far end opened afresh for each: it is another
# pseudo-terminal after a replug.
gga='$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47'

sender_pid=""
monitor_pid=""
cleanup() {
    [ -n "$sender_pid" ] && kill "$sender_pid" 2>/dev/null || true
    [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null || true
    sh "$vnm" replug "$state" "$pair" || true
}
trap cleanup EXIT
probe() { sh "$vnm" run "$state" -- "$probe_exe" "$@"; }
step() { echo "== $*"; }

(while :; do printf '%s\r\n' "$gga" >"$far" 2>/dev/null || true; sleep 1; done) &
sender_pid=$!
sh "$vnm" run "$state" --shim -- "$monitor" --port COM3 --baud 4800 --start &
monitor_pid=$!
step "receiving"
probe wait-link "receiving at 4800 baud" 30
step "unplugged: device lost"
sh "$vnm" unplug "$state" "$pair"
probe wait-link "device lost" 15
step "replugged: receiving again, one reconnection"
sh "$vnm" replug "$state" "$pair"
probe wait-link "1 reconnection" 15
probe wait-link "receiving at 4800 baud" 15
step "unplugged again, then the window closed"
sh "$vnm" unplug "$state" "$pair"
probe wait-link "device lost" 15
ended=$(probe quit)
echo "$ended"
monitor_pid=""
ms=$(echo "$ended" | sed -n 's/.*ended \([0-9]*\) ms.*/\1/p')
[ -n "$ms" ] && [ "$ms" -lt 2000 ] || { echo "FAIL: the monitor took too long to end ($ended)"; exit 1; }
echo "PASS"
