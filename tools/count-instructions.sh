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

# Per part, by the source file each instruction's code comes from (inlined
# code counts where it is written): framer, records (dispatch, parsers,
# field decoders), navigation state (its rules, the split and field readers,
# publishing), and the benchmark's own loop.
callgrind_annotate --inclusive=no --threshold=100 --auto=no "$out" 2>/dev/null | awk -v b="$bytes" '
  /^ *[0-9,]+ +\(/ && /:/ {
    n = $1; gsub(",", "", n)
    file = $0; sub(/^ *[0-9,]+ +\( *[0-9.]+%\) +/, "", file); sub(/:.*/, "", file)
    part = "other"
    if (file ~ /framer|line_judge|binary_frame|checksum/) part = "framer"
    else if (file ~ /dispatch|parse_|field_decode|field_walk/) part = "records"
    else if (file ~ /navigation|sentence_fields|satellite_numbers|atomic/) part = "state"
    else if (file ~ /nmea_bench/) part = "benchmark loop"
    sum[part] += n
  }
  END { for (p in sum) printf "  %-15s %6.2f instructions per byte\n", p, sum[p] / b }' | sort
