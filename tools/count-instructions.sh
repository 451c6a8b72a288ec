#!/bin/sh
# Counts the machine instructions that one pass of the framer, dispatch and
# parsers over the concatenated captures takes, per input byte, with
# valgrind's callgrind (deterministic, unlike a time).
#   tools/count-instructions.sh [native-build-dir]   (default: build/native)
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build/native}
bench=$build/tools/nmea-bench
if [ ! -x "$bench" ]; then
  echo "$0: $bench not built (cmake --build $build --target nmea-bench)" >&2
  exit 2
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
bytes=$(valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*FeedOnce*' \
  "$bench" --one-pass 2>/dev/null | sed -n 's/^\([0-9]*\) bytes$/\1/p')
instructions=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
if [ -z "$bytes" ] || [ -z "$instructions" ]; then
  echo "$0: callgrind gave no count" >&2
  exit 1
fi
awk -v i="$instructions" -v b="$bytes" \
  'BEGIN { printf "%d instructions for %d bytes: %.2f instructions per byte\n", i, b, i / b }'
