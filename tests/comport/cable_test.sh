#!/bin/sh
# Runs a test program that pulls and puts back pair k's cable while it runs:
# it asks by making <state>/cable.unplug or <state>/cable.replug, and this
# script answers with <state>/cable.<verb>.done once vnullmodem.sh has done
# it.  The cable is put back whatever the test did.
#   cable_test.sh <vnullmodem.sh> <state-dir> <pair> <program> [args...]
set -eu
vnm=$1
state=$2
pair=$3
shift 3

running() {
    case "$(ps -o stat= -p "$1" 2>/dev/null)" in ''|Z*) return 1 ;; esac
}

rm -f "$state"/cable.*
ORVO_CABLE_PAIR=$pair sh "$vnm" run "$state" --shim -- "$@" &
test_pid=$!
while running "$test_pid"; do
    for verb in unplug replug; do
        if [ -e "$state/cable.$verb" ]; then
            sh "$vnm" "$verb" "$state" "$pair"
            rm -f "$state/cable.$verb"
            touch "$state/cable.$verb.done"
        fi
    done
    sleep 0.05
done
rc=0
wait "$test_pid" || rc=$?
sh "$vnm" replug "$state" "$pair"
rm -f "$state"/cable.*
exit "$rc"
