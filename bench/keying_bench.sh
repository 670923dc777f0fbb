#!/usr/bin/env bash
# Runs keying_bench against the built program on a private Xvfb and PulseAudio null sink, started
# here and stopped by their PIDs: the initial sentence at speed 20, then "PARIS PARIS" at 25 WPM.
#   bench/keying_bench.sh [RUNS] [--busy] [--kestrin PATH]
# --busy runs one busy loop beside it for the whole run. --kestrin measures another build of the
# program (to compare before and after in one run). BUILD names the build directory (build/dev).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1}
shift || true
build=${BUILD:-build/dev}
kestrin=$build/app/kestrin busy=""
while [ $# -gt 0 ]; do
    case $1 in
    --busy) busy=1 ;;
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
busy_pid=""
Cleanup()
{
    [ -z "$busy_pid" ] || kill "$busy_pid" 2>/dev/null || true
    PulseStop
    XStop
}
trap Cleanup EXIT
XStart
PulseStart
if [ -n "$busy" ]; then
    sh -c 'while :; do :; done' &
    busy_pid=$!
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)${busy:+, one busy loop beside}"
echo "program: $kestrin"
for i in $(seq "$runs"); do
    echo "== run $i: initial sentence, speed 20"
    "$bench" --kestrin "$kestrin" --trace-lib "$lib" || true
    echo "== run $i: PARIS PARIS, speed 25"
    "$bench" --kestrin "$kestrin" --trace-lib "$lib" --text "PARIS PARIS" --speed 25 || true
done
