#!/bin/sh
# The server as a service under Wine's service manager: installed with its
# options, started, serving a client, stopped as Ctrl+C stops it (the port
# closes), and removed; a second install and a start after the removal are
# refused.
#   server_service_test.sh <state-dir> <orvogps-server.exe>
set -eu
state=$1
server=$2
# shellcheck disable=SC1091
. "$state/env"
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
fail() { echo "FAIL: $*"; wine "$server" --uninstall >/dev/null 2>&1 || true; exit 1; }
step() { echo "== $*"; }

step "install"
wine "$server" --install --port COM16 --listen "127.0.0.1:$port" --nmea-listen off | tee "$state/service.out"
grep -q -- "--service --port COM16 --baud auto --listen 127.0.0.1:$port" "$state/service.out" \
  || fail "not registered with its options"
if wine "$server" --install --listen "127.0.0.1:$port" 2>&1; then fail "a second install was taken"; fi

step "start: a client gets the VERSION"
wine net start OrvoGPSServer || fail "net start"
got=""
for _ in $(seq 1 100); do  # the service binds soon after it starts: polled, 10 s at most
  got=$(timeout 5 gpspipe -w -n 1 "127.0.0.1:$port" 2>/dev/null || true)
  [ -n "$got" ] && break
  sleep 0.1
done
echo "$got"
echo "$got" | grep -q '"class":"VERSION"' || fail "no VERSION from the service"

step "stop: the port closes"
wine net stop OrvoGPSServer || fail "net stop"
if timeout 5 gpspipe -w -n 1 "127.0.0.1:$port" >/dev/null 2>&1; then fail "still serving after the stop"; fi

step "uninstall"
wine "$server" --uninstall || fail "uninstall"
if wine net start OrvoGPSServer 2>/dev/null; then fail "started after the removal"; fi
echo "PASS"
