#!/bin/sh
# The monitor records a capture that gps-sim replays on the far end of pair 3
# (COM3), through an unplug and a replug, and closes the file when its window
# closes: the file's first line names the port, the speed and the start, and
# every sentence nmea-decode finds in it is a line of the capture, from before
# and after the reconnection.  A file that cannot be made is said in the link
# line.
#   monitor_record_test.sh <vnullmodem.sh> <state-dir> <orvogps-monitor.exe> <monitor-probe.exe>
#                          <nmea-decode.exe> <gps-sim> <capture>
set -eu
vnm=$1
state=$2
monitor=$3
probe_exe=$4
decoder=$5
sim=$6
capture=$7
pair=3
if [ ! -x "$sim" ]; then
    echo "SKIP: $sim is not built (build the native preset first)"
    exit 77
fi
# shellcheck disable=SC1091
. "$state/env"
far=$ORVO_FAR3
work="$state/record-test"
rm -rf "$work"
mkdir -p "$work"
recording="$work/receiver.nmea"

sim_pid=""
monitor_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null || true
    sh "$vnm" replug "$state" "$pair" || true
}
trap cleanup EXIT
probe() { sh "$vnm" run "$state" -- "$probe_exe" "$@"; }
step() { echo "== $*"; }
fail() { echo "FAIL: $*"; exit 1; }
start_sim() {
    "$sim" --quiet --baud 38400 --replay "$capture" "$far" &
    sim_pid=$!
}
size() { stat -c %s "$recording" 2>/dev/null || echo 0; }
# Until the file has grown past $1 bytes, for up to 20 s.
wait_size() {
    n=0
    while [ "$(size)" -le "$1" ]; do
        n=$((n + 1))
        [ "$n" -le 200 ] || fail "the recording stays at $(size) bytes"
        sleep 0.1
    done
}

start_sim
sh "$vnm" run "$state" --shim -- "$monitor" --port COM3 --baud 38400 --start --record "Z:$recording" &
monitor_pid=$!
step "recording"
probe wait-link "recording receiver.nmea" 30
wait_size 4000
step "unplugged and replugged: the recording goes on"
sh "$vnm" unplug "$state" "$pair"
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
probe wait-link "device lost" 15
before=$(size)
sh "$vnm" replug "$state" "$pair"
start_sim
probe wait-link "1 reconnection" 15
probe wait-link "receiving at 38400 baud" 15
wait_size $((before + 4000))
step "closed with the window"
probe quit
monitor_pid=""
kill "$sim_pid" 2>/dev/null || true
sim_pid=""

head -n 1 "$recording" | grep -Eq '^# orvogps-monitor recording of COM3 at 38400 baud, started 20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9]Z.$' ||
    fail "first line: $(head -n 1 "$recording")"
sh "$vnm" run "$state" -- "$decoder" --state "Z:$recording" | tr -d '\r' | grep '^\$' >"$work/decoded" || true
decoded=$(wc -l <"$work/decoded")
tr -d '\r' <"$capture" >"$work/capture"
strangers=$(grep -Fxv -f "$work/capture" "$work/decoded" | wc -l)
echo "recorded $(size) bytes, $before before the unplug; nmea-decode finds $decoded sentences, $strangers not in the capture"
[ "$decoded" -ge 100 ] || fail "too few sentences decoded"
[ "$strangers" -eq 0 ] || fail "sentences the far end did not write: $(grep -Fxv -f "$work/capture" "$work/decoded" | head -3)"
# The bytes after the unplug were decoded too: the file holds more sentences
# than its part before the unplug.
head -c "$before" "$recording" >"$work/before"
decoded_before=$(sh "$vnm" run "$state" -- "$decoder" --state "Z:$work/before" | grep -c '^\$' || true)
[ "$decoded" -gt "$decoded_before" ] || fail "nothing recorded after the reconnection"

step "a file that cannot be made"
start_sim
sh "$vnm" run "$state" --shim -- "$monitor" --port COM3 --baud 38400 --start --record "Z:$work/no/such/folder/x.nmea" &
monitor_pid=$!
probe wait-link "cannot record to x.nmea: no such folder (error 3)" 30
probe wait-link "receiving at 38400 baud" 15
probe quit
monitor_pid=""
echo "PASS"
