#!/bin/sh
# Runs the unplug test while pulling pair 3's cable (its socat) out from under
# it, then puts the cable back.  The test and this script meet through two
# files in the harness's state directory.
#   unplug_test.sh <vnullmodem.sh> <state-dir> <comport_test.exe>
set -eu
vnm=$1
state=$2
program=$3
pair=3

running() {
    case "$(ps -o stat= -p "$1" 2>/dev/null)" in ''|Z*) return 1 ;; esac
}

rm -f "$state/unplug.ready" "$state/unplug.done"
ORVO_UNPLUG_SIGNALS=1 sh "$vnm" run "$state" --shim -- "$program" --gtest_filter='comport_unplug_test.*' &
test_pid=$!
tenths=0
while [ ! -e "$state/unplug.ready" ] && running "$test_pid" && [ "$tenths" -lt 600 ]; do
    sleep 0.1
    tenths=$((tenths + 1))
done
sh "$vnm" unplug "$state" "$pair"
touch "$state/unplug.done"
rc=0
wait "$test_pid" || rc=$?
sh "$vnm" replug "$state" "$pair"
rm -f "$state/unplug.ready" "$state/unplug.done"
exit "$rc"
