#!/usr/bin/env bash
# Runs keying_bench against the built program on a private Xvfb and PulseAudio null sink, started
# here and stopped by their PIDs: the initial sentence at speed 20, then "PARIS PARIS" at 25 WPM.
#   bench/keying_bench.sh [RUNS] [--busy] [--rtkit] [--kestrin PATH]
# --busy runs one busy loop beside it for the whole run. --rtkit starts a private system bus with
# RealtimeKit on it (root, package rtkit), which the program asks for priority during a send.
# --kestrin measures another build of the program (to compare before and after in one run).
# BUILD names the build directory (build/dev).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1}
shift || true
build=${BUILD:-build/dev}
kestrin=$build/app/kestrin busy="" rtkit=""
while [ $# -gt 0 ]; do
    case $1 in
    --busy) busy=1 ;;
    --rtkit) rtkit=1 ;;
    --kestrin) kestrin=$2; shift ;;
    esac
    shift
done
bench=$build/bench/keying_bench lib=$build/bench/libkestrin_sleep_trace.so
[ -x "$bench" ] && [ -f "$lib" ] ||
    { echo "build them first: cmake --build --preset dev --target keying_bench kestrin_sleep_trace"; exit 1; }

# shellcheck source=../scripts/lib/xvfb.sh
. scripts/lib/xvfb.sh
# shellcheck source=../scripts/lib/pulse.sh
. scripts/lib/pulse.sh
busy_pid="" bus_pid="" bus_dir=""
Cleanup()
{
    [ -n "$busy_pid" ] && kill "$busy_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null # RealtimeKit leaves with its bus
    [ -n "$bus_dir" ] && rm -rf "$bus_dir"
    PulseStop
    XStop
}
trap Cleanup EXIT
XStart
PulseStart
if [ -n "$rtkit" ]; then
    bus_dir=$(mktemp -d /tmp/kestrin-sysbus.XXXXXX)
    sed -e '/<pidfile>/d' -e '/<user>/d' -e "s|<listen>.*</listen>|<listen>unix:path=$bus_dir/bus</listen>|" \
        -e 's|<includedir>system.d</includedir>|<includedir>/usr/share/dbus-1/system.d</includedir>|' \
        /usr/share/dbus-1/system.conf >"$bus_dir/system.conf"
    dbus-daemon --config-file="$bus_dir/system.conf" --nofork 2>/dev/null &
    bus_pid=$!
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$bus_dir/bus
    for _ in $(seq 50); do [ -S "$bus_dir/bus" ] && break; sleep 0.1; done
    # It limits its own file size to 0, so its stderr must be a pipe, not a file.
    (/usr/libexec/rtkit-daemon 2>&1 | cat >/dev/null) &
    for _ in $(seq 50); do
        busctl --address="$DBUS_SYSTEM_BUS_ADDRESS" status org.freedesktop.RealtimeKit1 >/dev/null 2>&1 && break
        sleep 0.1
    done
fi
if [ -n "$busy" ]; then
    sh -c 'while :; do :; done' &
    busy_pid=$!
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)${busy:+, one busy loop beside}${rtkit:+, RealtimeKit}"
echo "program: $kestrin"
for i in $(seq "$runs"); do
    echo "== run $i: initial sentence, speed 20"
    "$bench" --kestrin "$kestrin" --trace-lib "$lib" || true
    echo "== run $i: PARIS PARIS, speed 25"
    "$bench" --kestrin "$kestrin" --trace-lib "$lib" --text "PARIS PARIS" --speed 25 || true
done
