#!/bin/sh
# The monitor showing a receiver that a server shares on a port of its own:
# gpsd (the reference server, through gpsfake) replaying the NEO-M9N
# capture, or orvogps-server reading COM2, on whose far end gps-sim replays
# it; the monitor, started with --server, says it is receiving, shows the fix
# that nmea-decode --state finds at the same epoch of the capture, waits while
# the server is gone and receives again when it is back, and records what
# the server relayed: sentences of the capture, after a first line naming the
# server.
#   monitor_server_test.sh <vnullmodem.sh> <state-dir> <orvogps-monitor.exe> <monitor-probe.exe>
#                          <nmea-decode.exe> <capture> gpsd
#   monitor_server_test.sh ... <capture> orvogps <orvogps-server.exe> <gps-sim>
set -eu
vnm=$1
state=$2
monitor=$3
probe_exe=$4
decoder=$5
capture=$6
kind=$7
server_exe=${8:-}
sim=${9:-}
command -v python3 >/dev/null || { echo "SKIP: no python3"; exit 77; }
if [ "$kind" = gpsd ] && ! command -v gpsfake >/dev/null; then
    echo "SKIP: gpsfake (gpsd-clients) is not installed"
    exit 77
fi
if [ "$kind" = orvogps ] && [ ! -x "$sim" ]; then
    echo "SKIP: $sim is not built (build the native preset first)"
    exit 77
fi
# shellcheck source=tools/wine-cpu.sh
. "$(dirname "$0")/../../tools/wine-cpu.sh"
# shellcheck disable=SC1091
. "$state/env"
work="$state/server-test-$kind"
rm -rf "$work"
mkdir -p "$work"
# A port no other server uses, never gpsd's own 2947.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
address="127.0.0.1:$port"

server_pid=""
sim_pid=""
monitor_pid=""
cleanup() {
    [ -n "$server_pid" ] && stop_server
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null || true
    return 0
}
trap cleanup EXIT
probe() { sh "$vnm" run "$state" -- "$probe_exe" "$@"; }
step() { echo "== $*"; }
fail() { echo "FAIL: $*"; exit 1; }
# gpsfake feeds gpsd a line every 50 ms, over and over: an epoch every
# second or so; gps-sim sends orvogps-server a cycle a second.
start_server() {
    if [ "$kind" = gpsd ]; then
        gpsfake -P "$port" -c 0.05 -q "$capture" >"$work/server.log" 2>&1 &
    else
        sh "$vnm" run "$state" --shim -- "$server_exe" --port COM2 --baud 38400 --listen "$address" \
            --nmea-listen off >"$work/server.log" 2>&1 &
    fi
    server_pid=$!
}
# orvogps-server ends on Ctrl+C, which its Wine process takes as SIGINT.
stop_server() {
    if [ "$kind" = gpsd ]; then
        kill "$server_pid" 2>/dev/null || true
    else
        pid=$(wine_pid "$server_exe") && kill -INT "$pid" 2>/dev/null || true
    fi
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
}
if [ "$kind" = orvogps ]; then
    # shellcheck disable=SC2154
    "$sim" --quiet --baud 38400 --replay "$capture" "$ORVO_FAR2" &
    sim_pid=$!
fi
field() { sed -n "s/^$1  *//p" "$2"; }
# The fix panel and link line into $1, without Windows' line ends.
fields_to() {
    probe fields >"$1.raw"
    tr -d '\r' <"$1.raw" >"$1"
}

start_server
sh "$vnm" run "$state" -- "$monitor" --server "$address" --start --record "Z:$work/shared.nmea" &
monitor_pid=$!
step "receiving from $address"
probe wait-link "server $address: receiving" 60
probe wait-fix 30
# An epoch shown whole: two readings in a row with the same time, after a
# few epochs (the first ones of a stream joined midway lack what earlier
# sentences would have said).
sleep 4
n=0
while :; do
    fields_to "$work/first"
    fields_to "$work/second"
    [ "$(field 'Time (UTC)' "$work/first")" != "$(field 'Time (UTC)' "$work/second")" ] || break
    n=$((n + 1))
    [ "$n" -lt 10 ] || fail "the fix never stood still"
done
cat "$work/second"
date=$(field 'Date (UTC)' "$work/second")
time=$(field 'Time (UTC)' "$work/second")
sh "$vnm" run "$state" -- "$decoder" --state "Z:$capture" | tr -d '\r' >"$work/state"
# The epoch's fix: the last TPV with its time before the next epoch's.
awk -v stamp="\"time\":\"${date}T${time}Z\"" '
    index($0, "\"class\":\"TPV\"") { if (index($0, stamp)) { tpv = $0; seen = 1 } else if (seen && index($0, "\"time\":")) exit }
    END { print tpv }' "$work/state" >"$work/tpv"
[ -s "$work/tpv" ] && [ "$(wc -c <"$work/tpv")" -gt 2 ] || fail "nmea-decode shows no TPV at $date $time"
number() { grep -o "\"$1\":[-0-9.]*" "$work/tpv" | head -n 1 | cut -d: -f2; }
near() {
    awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a != "" && b != "" && d <= t) }' ||
        fail "$4: the monitor shows $1, nmea-decode $2"
}
near "$(field Latitude "$work/second")" "$(number lat)" 6e-9 latitude
near "$(field Longitude "$work/second")" "$(number lon)" 6e-9 longitude
near "$(field 'Altitude MSL' "$work/second" | cut -d' ' -f1)" "$(number altMSL)" 0.005 "altitude MSL"
[ "$(field Fix "$work/second")" = "$(number mode)D" ] || fail "fix $(field Fix "$work/second"), mode $(number mode)"
echo "the fix at $date $time is nmea-decode's: $(cat "$work/tpv" | cut -c1-160)"

step "the server stops: the monitor keeps trying"
stop_server
probe wait-link "server $address: the server closed the connection - trying again" 15
step "the server is back: receiving again"
start_server
probe wait-link "server $address: receiving" 60
probe fields | tail -n 1
ended=$(probe quit)
echo "$ended"
monitor_pid=""
head -n 1 "$work/shared.nmea" | grep -q "^# orvogps-monitor recording of server $address, started 20" ||
    fail "first line: $(head -n 1 "$work/shared.nmea")"
sh "$vnm" run "$state" -- "$decoder" --state "Z:$work/shared.nmea" | tr -d '\r' | grep '^\$' >"$work/decoded" || true
tr -d '\r' <"$capture" >"$work/capture"
strangers=$(grep -Fxv -f "$work/capture" "$work/decoded" | wc -l)
echo "recorded $(wc -c <"$work/shared.nmea") bytes: nmea-decode finds $(wc -l <"$work/decoded") sentences, $strangers not in the capture"
[ "$(wc -l <"$work/decoded")" -ge 50 ] && [ "$strangers" -eq 0 ] || fail "the recording is not the server's sentences"
echo "PASS"
