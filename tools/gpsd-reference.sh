#!/usr/bin/env bash
# Regenerates tests/data/captures/gpsd/<capture>.jsonl: what gpsd (Debian's
# gpsd 3.22, run by gpsfake) sends a client watching with json while it
# replays each capture, its TPV and SKY objects only, the device path taken
# out.  gpsd's first objects (VERSION, DEVICES, WATCH, DEVICE) carry the
# time of the run and are left out.
#   tools/gpsd-reference.sh [CAPTURE.log...]   (default: every capture)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
captures=$root/tests/data/captures
out=$captures/gpsd
mkdir -p "$out"
[ $# -gt 0 ] || set -- "$captures"/*.log

# A port of its own, free now: never gpsd's 2947.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

for capture in "$@"; do
  name=$(basename "$capture")
  tmp=$(mktemp)
  gpsfake -P "$(free_port)" -1 -p -q -r '?WATCH={"enable":true,"json":true}' "$capture" >"$tmp" 2>/dev/null || {
    echo "gpsfake failed on $name" >&2; rm -f "$tmp"; exit 1; }
  grep -E '^\{"class":"(TPV|SKY)"' "$tmp" | sed -e 's/,"device":"[^"]*"//' >"$out/$name.jsonl" || true
  rm -f "$tmp"
  echo "$name: $(wc -l <"$out/$name.jsonl") objects"
done
