#!/usr/bin/env bash
# Runs keying_bench against the built program on a private Xvfb and PulseAudio null sink, started
# here and stopped by their PIDs: the initial sentence at speed 20, then "PARIS PARIS" at 25 WPM.
#   bench/keying_bench.sh [RUNS] [--busy] [--build-beside] [--paris] [--kestrin PATH]
#                         [--compare PATH]
# --busy runs one busy loop beside it for the whole run; --build-beside a build of the project
# (`cmake --build` of a scratch build directory, again and again, -j2). --paris sends only "PARIS
# PARIS", at 25 and at 40 WPM. --kestrin measures another build of the program; --compare measures
# a second one too, send by send after the first (before and after in one run). BUILD names the
# build directory (build/dev). Ends with one line per send: holes, gap error median, p95 and
# largest, the first gap against the median, and lamp lit -> sound median and spread.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1}
shift || true
build=${BUILD:-build/dev}
kestrin=$build/app/kestrin busy="" beside="" paris="" compare=""
while [ $# -gt 0 ]; do
    case $1 in
    --busy) busy=1 ;;
    --build-beside) beside=1 ;;
    --paris) paris=1 ;;
    --kestrin) kestrin=$2; shift ;;
    --compare) compare=$2; shift ;;
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
busy_pid="" beside_pid="" beside_dir="" summary=$(mktemp /tmp/kestrin-keying-summary.XXXXXX)
Cleanup()
{
    [ -z "$busy_pid" ] || kill "$busy_pid" 2>/dev/null || true
    # The build loop leads a process group of its own: the compilers go with it.
    [ -z "$beside_pid" ] || kill -- -"$beside_pid" 2>/dev/null || true
    [ -z "$beside_dir" ] || rm -rf "$beside_dir"
    rm -f "$summary"
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
if [ -n "$beside" ]; then
    beside_dir=$(mktemp -d /tmp/kestrin-beside.XXXXXX)
    cmake -S . -B "$beside_dir" -G Ninja -DKESTRIN_BUILD_TESTS=OFF -DKESTRIN_BUILD_BENCH=OFF \
        >/dev/null
    setsid sh -c 'while :; do cmake --build "$1" -j2 --clean-first >/dev/null 2>&1; done' \
        sh "$beside_dir" &
    beside_pid=$!
    sleep 5 # the build under way
fi

condition="quiet"
[ -z "$busy" ] || condition="busy core"
[ -z "$beside" ] || condition="build beside${busy:+, busy core}"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $condition"
echo "program: $kestrin${compare:+, compared with $compare}"

# One send with each program; its summary line is kept for the table.
Send()
{
    local name=$1 program label out
    shift
    out=$(mktemp /tmp/kestrin-keying-send.XXXXXX)
    for program in "$kestrin" ${compare:+"$compare"}; do
        [ "$program" = "$kestrin" ] && label="program" || label="compared"
        echo "== $name, $label"
        "$bench" --kestrin "$program" --trace-lib "$lib" "$@" >"$out" 2>&1 || true
        grep -v '^summary: ' "$out" || true
        sed -n "s|^summary: |$label, $name: |p" "$out" >>"$summary"
    done
    rm -f "$out"
}

for i in $(seq "$runs"); do
    if [ -z "$paris" ]; then
        Send "run $i, sentence at 20" --text ""
        Send "run $i, PARIS PARIS at 25" --text "PARIS PARIS" --speed 25
    else
        Send "run $i, PARIS PARIS at 25" --text "PARIS PARIS" --speed 25
        Send "run $i, PARIS PARIS at 40" --text "PARIS PARIS" --speed 40
    fi
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== per send ($condition)"
sort -s -k1,1 "$summary"
