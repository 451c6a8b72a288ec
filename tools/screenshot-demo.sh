#!/bin/sh
# Takes docs/demo.png: the demo under Xvfb in Wine's drawn desktop (so the
# caption shows), receiving a 1 Hz loop of real GGA sentences on COM1, with
# the fix in the panel and the indicator lit; cropped to the window and its
# status strip.
#
#   tools/screenshot-demo.sh [build-dir] [output.png]
#
# build-dir defaults to build/windows (configured with the windows preset and
# built here if needed); output defaults to docs/demo.png.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/windows}")
shot=$(realpath -m "${2:-$root/docs/demo.png}")
state="$build/screenshot-harness"
desktop=orvogps-shot

# Five consecutive fixes from a Garmin GPS 15x capture of the gpsd regression
# suite (test/daemon/garmin15x.log, BSD-2-Clause).
SENTENCES='$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D
$GPGGA,113259,3238.9145,N,10822.4482,W,2,08,1.1,1577.9,M,-24.6,M,,*46
$GPGGA,113300,3238.9141,N,10822.4498,W,2,08,1.1,1578.4,M,-24.6,M,,*46
$GPGGA,113301,3238.9136,N,10822.4514,W,2,08,1.1,1578.8,M,-24.6,M,,*4E
$GPGGA,113302,3238.9133,N,10822.4528,W,2,08,1.1,1579.0,M,-24.6,M,,*4E'

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

# The receiver: one sentence a second on the far end of COM1, round and round.
(
    set -f
    IFS='
'
    while :; do
        for sentence in $SENTENCES; do
            printf '%s\r\n' "$sentence"
            sleep 1
        done
    done
) >"$ORVO_FAR1" 2>/dev/null &
feeder=$!

LD_PRELOAD="$ORVO_SHIM" wine explorer /desktop="$desktop,640x480" "$demo_exe" \
    </dev/null >/dev/null 2>&1 &
demo=$!

# The probe can find the main window a moment before its panel exists, and
# then fails; a few more tries, half a second apart, get past that.
tries=0
until wine "$probe_exe" --desktop "$desktop" start COM1 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -lt 20 ] || { echo "screenshot-demo: GO could not be pressed" >&2; exit 1; }
    sleep 0.5
done
wine "$probe_exe" --desktop "$desktop" wait-fix 30
mkdir -p "$(dirname "$shot")"
# The demo sits at the top of an otherwise empty desktop: trimming the
# desktop's colour leaves the window and the strip under it.
import -display "$DISPLAY" -window root -crop 640x480+0+0 +repage png:- |
    convert png:- -trim +repage "$shot"
wine "$probe_exe" --desktop "$desktop" fields
echo "screenshot: $shot"
