#!/bin/sh
# Virtual null-modem cables for running the Windows build under Wine.
#
#   vnullmodem.sh up <state-dir> [--display] [--device COM<k>=<path>]
#   vnullmodem.sh run <state-dir> [--shim] -- <program> [args...]
#       (a .exe runs under wine; --shim preloads the modem-line shim into it;
#       a WINEDEBUG already set is kept)
#   vnullmodem.sh unplug <state-dir> <k>
#   vnullmodem.sh replug <state-dir> <k>
#   vnullmodem.sh down <state-dir>
#
# Pair k (1 to 4) is a socat pseudo-terminal pair: its near end
# <state-dir>/com<k> is COM<k> in Wine, its far end <state-dir>/far<k> is
# COM1<k> (COM11 to COM14), so a Windows test can play the receiver.  Only
# the near ends are in Windows' list of serial ports (SERIALCOMM).  COM5 to
# COM10, COM15 and COM16 map to nothing: opening them fails with error 2
# (ERROR_FILE_NOT_FOUND).
# --display starts Xvfb and runs Wine on it; without it Wine uses the
# caller's DISPLAY, if any.  --device maps COM<k> to a real serial device
# (say /dev/ttyUSB0) instead of pair k's near end.
# <state-dir>/env holds the variables a test needs (see write_env); its
# ORVO_VNM_STATE also tells the modem-line shim where the cables are, so that
# a far end sees its near end's DTR and RTS (see modemshim.c).
# The shim also plays a receiver at the wrong speed: once both ends of a
# cable have set a speed (a fresh cable's ends are at 0) and the two differ,
# a read delivers what a UART at the reading end's speed makes of the bytes
# (see wrongspeed.c); at equal speeds the bytes pass unchanged.
# unplug stops pair k's socat, so that both ends vanish as an unplugged USB
# adapter does (reads fail, ClearCommError fails, COM<k> does not open);
# replug makes the pair again, with new pseudo-terminals behind the same names.
set -eu

PAIRS=4
DEADLINE_TENTHS=100

die() { echo "vnullmodem: $*" >&2; exit 1; }

usage() {
    die "usage: $0 up|run|unplug|replug|down <state-dir> ..."
}

# Polls a shell condition every 0.1 s for up to DEADLINE_TENTHS tenths.
wait_for() {
    tenths=0
    while ! eval "$1"; do
        tenths=$((tenths + 1))
        [ "$tenths" -le "$DEADLINE_TENTHS" ] || return 1
        sleep 0.1
    done
}

# A pid file names a live process only if that process still runs the
# program we started; a recycled pid must not be signalled.
alive() {
    [ -f "$1" ] || return 1
    pid=$(cat "$1")
    [ -n "$pid" ] || return 1
    comm=$(ps -o comm= -p "$pid" 2>/dev/null) || return 1
    case "$comm" in "$2"*) ;; *) return 1 ;; esac
    # Where nothing reaps orphans (a container's init), an ended process stays
    # as a zombie; it counts as gone.
    case "$(ps -o stat= -p "$pid" 2>/dev/null)" in Z*) return 1 ;; esac
}

stop_pidfile() {
    if alive "$1" "$2"; then
        pid=$(cat "$1")
        kill "$pid" 2>/dev/null || true
        wait_for "! alive '$1' '$2'" || kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$1"
}

setup_paths() {
    [ -n "${1:-}" ] || usage
    mkdir -p "$1"
    STATE=$(cd "$1" && pwd)
    case "$STATE" in *[\"\\\ ]*) die "state dir must not contain quotes, backslashes or spaces: $STATE" ;; esac
    export WINEPREFIX="$STATE/wineprefix"
    export WINEDEBUG=-all
    unset LD_PRELOAD
    SRC_DIR=$(cd "$(dirname "$0")" && pwd)
}

start_pair() {
    k=$1
    alive "$STATE/socat$k.pid" socat && return 0
    rm -f "$STATE/com$k" "$STATE/far$k"
    setsid socat "pty,raw,echo=0,link=$STATE/com$k" "pty,raw,echo=0,link=$STATE/far$k" \
        </dev/null >>"$STATE/socat$k.log" 2>&1 &
    echo $! >"$STATE/socat$k.pid"
    wait_for "[ -e '$STATE/com$k' ] && [ -e '$STATE/far$k' ]" || die "socat pair $k did not start (see $STATE/socat$k.log)"
    # Speed 0 on both ends: no end has set a speed yet, so the shim passes
    # the bytes unchanged until both have (see wrongspeed.c).  stty reports
    # that a pty did not take every setting; the speed it takes.
    stty -F "$STATE/com$k" 0 2>/dev/null || true
    stty -F "$STATE/far$k" 0 2>/dev/null || true
}

build_shim() {
    so="$STATE/modemshim.so"
    if [ ! -f "$so" ] || [ "$SRC_DIR/modemshim.c" -nt "$so" ] || [ "$SRC_DIR/modemshim.h" -nt "$so" ] \
        || [ "$SRC_DIR/wrongspeed.c" -nt "$so" ]; then
        cc -shared -fPIC -O2 -o "$so.tmp" "$SRC_DIR/modemshim.c" "$SRC_DIR/wrongspeed.c" -ldl -lpthread \
            || die "cannot build the modem-line shim"
        mv "$so.tmp" "$so"
    fi
}

# Names the COM ports of Wine's device manager: COM<k> and COM1<k> for pair
# k; the names in between are blocked.  A name with any value in the port
# map, even an empty one, becomes a device that opens without error, and a
# name left out takes one of the host's /dev/ttyS ports; a blocked name is in
# the map, so no host port takes it, but its device cannot be made because a
# directory stands where the device manager puts its link.  COM99, last in the
# map's order, tells when the device manager is through the list.
write_ports_reg() {
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        i=1
        while [ "$i" -le 16 ]; do
            target="$STATE/blocked"
            if [ "$i" = "$DEVICE_PORT" ]; then
                target="$DEVICE_PATH"
            elif [ "$i" -le "$PAIRS" ]; then
                target="$STATE/com$i"
            elif [ "$i" -ge 11 ] && [ "$i" -le $((10 + PAIRS)) ]; then
                target="$STATE/far$((i - 10))"
            fi
            printf '"COM%d"="%s"\r\n' "$i" "$target"
            i=$((i + 1))
        done
        printf '"COM99"="%s/blocked"\r\n' "$STATE"
    } >"$1"
}

blocked_ports() {
    grep -o '^"COM[0-9]*"=".*/blocked"' "$STATE/ports.reg" | grep -v COM99 | sed 's/^"COM\([0-9]*\)".*/\1/'
}

# The far ends are the receivers' side of the cables, not ports of the PC
# the program runs on: they open by name (a test plays a receiver there) but
# are taken off Windows' list of serial ports, so that a program that tries
# every listed port (a port search) finds the near ends only, as it would on
# a PC with a receiver on each of them.
hide_far_ends() {
    k=1
    while [ "$k" -le "$PAIRS" ]; do
        wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "\\Device\\Serial$((9 + k))" /f \
            </dev/null >>"$STATE/wineserver.log" 2>&1 || die "cannot hide COM1$k from the port list"
        k=$((k + 1))
    done
}

server_running() {
    alive "$STATE/wineserver.pid" wineserver
}

# The server and the boot-time processes (services, device manager) inherit
# the standard handles of whoever starts them; starting them here, with their
# output in the log, keeps them from holding a test runner's pipes open.
start_server() {
    setsid wineserver -f -p </dev/null >>"$STATE/wineserver.log" 2>&1 &
    echo $! >"$STATE/wineserver.pid"
    wine reg query 'HKLM\Software\Wine\Ports' </dev/null >>"$STATE/wineserver.log" 2>&1 \
        || die "wine does not start in $WINEPREFIX (see $STATE/wineserver.log)"
}

stop_server() {
    if server_running || [ -d "$WINEPREFIX" ]; then
        wineserver -k </dev/null >>"$STATE/wineserver.log" 2>&1 || true
    fi
    stop_pidfile "$STATE/wineserver.pid" wineserver
}

free_display() {
    n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
        n=$((n + 1))
    done
    echo "$n"
}

start_xvfb() {
    if alive "$STATE/xvfb.pid" Xvfb && [ -f "$STATE/display" ]; then
        return 0
    fi
    tries=0
    while [ "$tries" -lt 5 ]; do
        display=$(free_display)
        setsid Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >>"$STATE/xvfb.log" 2>&1 &
        echo $! >"$STATE/xvfb.pid"
        # Another user may take the same number at the same moment: then this
        # Xvfb exits and the next number is tried.
        if wait_for "[ -e /tmp/.X11-unix/X$display ] || ! alive '$STATE/xvfb.pid' Xvfb" \
            && alive "$STATE/xvfb.pid" Xvfb; then
            echo ":$display" >"$STATE/display"
            return 0
        fi
        tries=$((tries + 1))
    done
    die "Xvfb did not start (see $STATE/xvfb.log)"
}

write_env() {
    {
        echo "export WINEPREFIX='$WINEPREFIX'"
        echo "export WINEDEBUG=-all"
        echo "export ORVO_VNM_STATE='$STATE'"
        echo "export ORVO_SHIM='$STATE/modemshim.so'"
        echo "export ORVO_PAIRS=$PAIRS"
        k=1
        while [ "$k" -le "$PAIRS" ]; do
            echo "export ORVO_NEAR$k='$STATE/com$k'"
            echo "export ORVO_NEAR${k}_COM=COM$k"
            echo "export ORVO_FAR$k='$STATE/far$k'"
            echo "export ORVO_FAR${k}_COM=COM1$k"
            k=$((k + 1))
        done
        echo "export ORVO_MISSING_COM=COM5"
        if [ -f "$STATE/display" ] && alive "$STATE/xvfb.pid" Xvfb; then
            echo "export DISPLAY=$(cat "$STATE/display")"
        fi
    } >"$STATE/env.tmp"
    mv "$STATE/env.tmp" "$STATE/env"
}

cmd_up() {
    setup_paths "${1:-}"
    shift
    want_display=0
    DEVICE_PORT=0
    DEVICE_PATH=""
    while [ $# -gt 0 ]; do
        case "$1" in
            --display) want_display=1 ;;
            --device)
                case "${2:-}" in
                    COM[1-9]=/*) ;;
                    *) die "--device takes COM<k>=<absolute path>, k from 1 to $PAIRS" ;;
                esac
                DEVICE_PORT=${2%%=*}
                DEVICE_PORT=${DEVICE_PORT#COM}
                DEVICE_PATH=${2#*=}
                [ "$DEVICE_PORT" -le "$PAIRS" ] || die "--device takes COM1 to COM$PAIRS"
                [ -c "$DEVICE_PATH" ] || die "$DEVICE_PATH is not a character device"
                shift
                ;;
            *) usage ;;
        esac
        shift
    done
    build_shim
    k=1
    while [ "$k" -le "$PAIRS" ]; do
        start_pair "$k"
        k=$((k + 1))
    done
    # The desktop process that draws every window starts with the server's
    # first program and keeps the display it found then, so X comes first.
    if [ "$want_display" = 1 ]; then
        start_xvfb
        DISPLAY=$(cat "$STATE/display")
        export DISPLAY
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        stop_server
        wineboot -i </dev/null >>"$STATE/wineserver.log" 2>&1 || die "wineboot failed (see $STATE/wineserver.log)"
        wineserver -w </dev/null >>"$STATE/wineserver.log" 2>&1 || true
    fi
    write_ports_reg "$STATE/ports.reg"
    { cat "$STATE/ports.reg"; echo "DISPLAY=${DISPLAY:-}"; } >"$STATE/server.wanted"
    # Wine's device manager reads the port map only when it starts, so a
    # changed map or display needs a fresh server; else the running one stays.
    if ! server_running || ! cmp -s "$STATE/server.wanted" "$STATE/server.applied"; then
        stop_server
        wine reg import "$(winepath -w "$STATE/ports.reg" 2>/dev/null)" </dev/null >>"$STATE/wineserver.log" 2>&1 \
            || die "cannot write the port map (see $STATE/wineserver.log)"
        wineserver -k </dev/null >>"$STATE/wineserver.log" 2>&1 || true
        wineserver -w </dev/null >>"$STATE/wineserver.log" 2>&1 || true
        dosdev="$WINEPREFIX/dosdevices"
        rm -f "$dosdev"/com[0-9]*
        for n in $(blocked_ports); do
            mkdir -p "$dosdev/com$n"
        done
        start_server
        wait_for "[ -L '$dosdev/com99' ]" || die "Wine's device manager did not map the ports"
        for n in $(blocked_ports); do
            rmdir "$dosdev/com$n"
        done
        hide_far_ends
        mv "$STATE/server.wanted" "$STATE/server.applied"
    fi
    write_env
}

cmd_run() {
    # A caller's own Wine debug channels (say -all,warn+debugstr) win.
    caller_debug=${WINEDEBUG:-}
    setup_paths "${1:-}"
    shift
    shim=0
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        case "$1" in
            --shim) shim=1 ;;
            *) usage ;;
        esac
        shift
    done
    [ $# -gt 1 ] || usage
    shift
    [ -f "$STATE/env" ] || die "no $STATE/env: run '$0 up $STATE' first"
    . "$STATE/env"
    [ -z "$caller_debug" ] || export WINEDEBUG="$caller_debug"
    case "$1" in
        *.exe|*.EXE)
            if [ "$shim" = 1 ]; then
                exec env LD_PRELOAD="$ORVO_SHIM" wine "$@"
            fi
            exec wine "$@"
            ;;
    esac
    exec "$@"
}

cmd_unplug() {
    setup_paths "${1:-}"
    k=${2:-}
    [ -n "$k" ] && [ "$k" -ge 1 ] && [ "$k" -le "$PAIRS" ] || usage
    stop_pidfile "$STATE/socat$k.pid" socat
}

cmd_replug() {
    setup_paths "${1:-}"
    k=${2:-}
    [ -n "$k" ] && [ "$k" -ge 1 ] && [ "$k" -le "$PAIRS" ] || usage
    start_pair "$k"
}

cmd_down() {
    setup_paths "${1:-}"
    stop_server
    k=1
    while [ "$k" -le "$PAIRS" ]; do
        stop_pidfile "$STATE/socat$k.pid" socat
        k=$((k + 1))
    done
    stop_pidfile "$STATE/xvfb.pid" Xvfb
    rm -f "$STATE/display" "$STATE/server.applied"
    write_env
}

verb=${1:-}
[ $# -gt 0 ] && shift
case "$verb" in
    up) cmd_up "$@" ;;
    run) cmd_run "$@" ;;
    unplug) cmd_unplug "$@" ;;
    replug) cmd_replug "$@" ;;
    down) cmd_down "$@" ;;
    *) usage ;;
esac
