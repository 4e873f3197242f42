#!/usr/bin/env bash
# Runs one test program with a private HOME and XDG_CONFIG_HOME that are removed afterwards.
# With --x11 it also gets a private Xvfb display (1920 x 1040, like the screens the window
# sizing is checked on), started with -displayfd so parallel suites never race for a number,
# and -noreset so it does not restart when its last client disconnects.
set -u
x11=0
if [ "${1:-}" = "--x11" ]; then
    x11=1
    shift
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/mirvale-test.XXXXXX")
export HOME="$home"
export XDG_CONFIG_HOME="$home/.config"
export XDG_DATA_HOME="$home/.local/share"
export XDG_CACHE_HOME="$home/.cache"
export XDG_RUNTIME_DIR="$home/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$home"
}
trap cleanup EXIT

if [ "$x11" = 1 ]; then
    displayfile="$home/display"
    Xvfb -displayfd 3 -noreset -screen 0 1920x1040x24 -nolisten tcp 3>"$displayfile" 2>"$home/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 1 200); do
        [ -s "$displayfile" ] && break
        sleep 0.05
    done
    if [ ! -s "$displayfile" ]; then
        echo "Xvfb did not start:" >&2
        cat "$home/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n 1 "$displayfile")"
    export QT_QPA_PLATFORM=xcb
fi

"$@"
