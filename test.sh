#!/usr/bin/env bash
# Sets everything up and runs every test: installs the packages, builds the
# native (g++ and clang++), sanitizer, fuzz and Windows (mingw-w64) builds,
# each warning-free, runs their tests (among them the consumer project built
# against an install, as a subproject and, on Windows, against the release
# archive), checks that nmea-decode decodes every capture byte for byte alike
# natively and under Wine, and runs the Windows tests under Wine (with virtual
# serial ports and a virtual display that the tests start and stop
# themselves), ending on ctest's summary of the Windows run.
set -uo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
failed=()

stage() {
  local name=$1
  shift
  echo "==== $name"
  if ! "$@"; then
    failed+=("$name")
  fi
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}

# nmea-decode over every capture, natively and under Wine in the Windows
# tests' prefix.
decode_alike() {
  local state=build/windows/vnullmodem status
  tools/vnullmodem.sh up "$state" || return 1
  tools/vnullmodem.sh run "$state" -- tools/compare-decode.sh build/native build/windows
  status=$?
  tools/vnullmodem.sh down "$state"
  return $status
}

tools/install-deps.sh || exit 1

stage "native build" build native
stage "native tests" ctest --preset native --no-label-summary
stage "native clang build" build native-clang
stage "native clang tests" ctest --preset native-clang --no-label-summary
stage "sanitizer build" build native-sanitize
stage "sanitizer tests" ctest --preset native-sanitize --no-label-summary
stage "fuzz 30 s" tools/run-fuzz.sh 30 build/fuzz
stage "windows build" build windows
stage "nmea-decode alike natively and under Wine" decode_alike
if [ ${#failed[@]} -gt 0 ]; then
  echo "==== failed before the Windows tests: ${failed[*]}"
fi
stage "windows tests (Wine)" ctest --preset windows --no-label-summary

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
