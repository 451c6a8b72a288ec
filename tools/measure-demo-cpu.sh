#!/bin/sh
# Prints the demo's processor use under Wine + Xvfb, read from /proc over a
# window of SECONDS (default 10): first idle (stopped), then acquiring from a
# receiver sending one GGA sentence a second on COM1.  The Wine server's share
# is printed beside it, since it carries the demo's window messages.
#
#   tools/measure-demo-cpu.sh [build-dir] [SECONDS]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/windows}")
seconds=${2:-10}
state="$build/cpu-harness"
desktop=orvogps-cpu
sentence='$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47'

[ -f "$build/CMakeCache.txt" ] || cmake --preset windows -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target orvogps-demo demo-probe >/dev/null
demo_exe="$build/app/orvogps-demo.exe"
probe_exe="$build/tools/demo-probe.exe"

feeder=""
demo=""
cleanup() {
    if [ -n "$demo" ]; then
        wine "$probe_exe" --desktop "$desktop" quit >/dev/null 2>&1 || kill "$demo" 2>/dev/null || true
    fi
    [ -z "$feeder" ] || kill "$feeder" 2>/dev/null || true
    sh "$root/tools/vnullmodem.sh" down "$state" >/dev/null 2>&1 || true
}
trap cleanup EXIT INT TERM

sh "$root/tools/vnullmodem.sh" up "$state" --display
. "$state/env"
ticks_per_second=$(getconf CLK_TCK)

# utime + stime of a process, in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# The one process whose command line is the demo of this build.
demo_pid() {
    for p in $(pgrep -f "$demo_exe"); do
        if tr '\0' ' ' <"/proc/$p/cmdline" | grep -q "^$demo_exe"; then echo "$p"; return 0; fi
    done
    return 1
}

measure() {
    label=$1
    d0=$(ticks "$pid"); s0=$(ticks "$server")
    sleep "$seconds"
    d1=$(ticks "$pid"); s1=$(ticks "$server")
    awk -v l="$label" -v d=$((d1 - d0)) -v s=$((s1 - s0)) -v t="$ticks_per_second" -v n="$seconds" \
        'BEGIN { printf "%-34s demo %5.2f%%  wineserver %5.2f%% of one core over %d s\n",
                 l, 100 * d / t / n, 100 * s / t / n, n }'
}

LD_PRELOAD="$ORVO_SHIM" wine explorer /desktop="$desktop,640x480" "$demo_exe" \
    </dev/null >/dev/null 2>&1 &
demo=$!
tries=0
until pid=$(demo_pid) && wine "$probe_exe" --desktop "$desktop" fields >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 40 ] || { echo "measure-demo-cpu: the demo did not start" >&2; exit 1; }
    sleep 0.5
done
server=$(cat "$state/wineserver.pid")

measure "stopped, no receiver:"

(
    while :; do
        printf '%s\r\n' "$sentence"
        sleep 1
    done
) >"$ORVO_FAR1" 2>/dev/null &
feeder=$!
wine "$probe_exe" --desktop "$desktop" start COM1
wine "$probe_exe" --desktop "$desktop" wait-fix 10
measure "acquiring, 1 Hz GGA, blinking:"
