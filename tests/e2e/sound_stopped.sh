#!/usr/bin/env bash
# A sound server stopped with SIGSTOP, before the program starts and after its stream has
# connected: each time, Escape must end the program within 1 s, with status 0, nothing printed,
# and the settings file written.
#   sound_stopped.sh PATH/TO/kestrin
set -euo pipefail
kestrin=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../scripts/lib/program.sh
. "$root/scripts/lib/program.sh"
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"

work=$(mktemp -d /tmp/kestrin-stopped.XXXXXX)
pid=""
Cleanup()
{
    StopProcess "$pid"
    [ -n "$PULSE_PID" ] && { kill -CONT "$PULSE_PID" 2>/dev/null || true; }
    PulseStop
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }

NowMs() { echo $(($(date +%s%N) / 1000000)); }

# Starts the program with fresh settings, runs WHEN_UP (a command) once its window shows, presses
# Escape and checks how it ended.
Run()
{
    local name=$1 whenUp=$2
    rm -rf "$work/config" "$work/runtime"
    mkdir -m 700 "$work/runtime"
    env -u SDL_AUDIODRIVER -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" \
        XDG_RUNTIME_DIR="$work/runtime" "$kestrin" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    local wid
    wid=$(XWaitWindow Kestrin 20) || Fail "$name: no window named Kestrin"
    $whenUp
    xdotool windowfocus --sync "$wid"
    local start
    start=$(NowMs)
    xdotool key Escape
    while kill -0 "$pid" 2>/dev/null && [ $(($(NowMs) - start)) -lt 5000 ]; do
        sleep 0.01
    done
    local ms=$(($(NowMs) - start))
    kill -0 "$pid" 2>/dev/null && Fail "$name: still running 5 s after Escape"
    local status=0
    wait "$pid" || status=$?
    pid=""
    echo "$name: ended $ms ms after Escape"
    [ "$ms" -lt 1000 ] || Fail "$name: took $ms ms to end"
    [ "$status" -eq 0 ] || Fail "$name: exit status $status"
    [ ! -s "$work/stderr" ] || Fail "$name: printed on stderr: $(cat "$work/stderr")"
    printf '[parms]\nTone=800\nSpeed=20\nGap=1\n' | cmp -s - "$work/config/kestrin.INI" ||
        Fail "$name: settings file: $(cat "$work/config/kestrin.INI" 2>&1)"
}

StopServer() { sleep 1 && kill -STOP "$PULSE_PID"; }

XStart
PulseStart
kill -STOP "$PULSE_PID"
Run "stopped before the start" true
kill -CONT "$PULSE_PID"
Run "stopped once connected" StopServer
echo "PASS"
