#!/bin/sh
# Runs every fuzz target for the given number of seconds each: the framer,
# from seeds cut from the receiver captures in tests/data/captures, and the
# server's request parser, from the client requests in
# tests/fuzz/request-seeds.  Builds the fuzz preset when needed.  Exits
# non-zero when libFuzzer finds a fault (the input is left in
# <build-dir>/fuzz-artifacts).
#   tools/run-fuzz.sh <seconds> [build-dir]      (default build-dir: build/fuzz)
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <seconds> [build-dir]" >&2
  exit 2
fi
seconds=$1
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$repo/build/fuzz}
corpus=$repo/tests/data/captures

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset fuzz -S "$repo" -B "$build"
fi
cmake --build "$build" --target nmea-fuzz request-fuzz -j "$(nproc)"

# Seeds of eight lines each: whole captures would make libFuzzer's inputs
# needlessly long.
seeds=$build/fuzz-seeds
if [ ! -d "$seeds" ]; then
  mkdir -p "$seeds.tmp"
  for capture in "$corpus"/*.log; do
    split -l 8 -a 4 "$capture" "$seeds.tmp/$(basename "$capture" .log)-"
  done
  mv "$seeds.tmp" "$seeds"
fi
mkdir -p "$build/fuzz-work" "$build/request-fuzz-work" "$build/fuzz-artifacts"

"$build/tests/fuzz/nmea-fuzz" -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/" "$build/fuzz-work" "$seeds"
# Inputs past the request limit reach the disconnect.
"$build/tests/fuzz/request-fuzz" -max_total_time="$seconds" -max_len=20000 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/" "$build/request-fuzz-work" "$repo/tests/fuzz/request-seeds"
