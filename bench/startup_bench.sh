#!/usr/bin/env bash
# Start-up figures for the built program on a private Xvfb: time from exec to the main window
# being mapped, and peak resident memory, over several runs. Prints figures; never fails on a slow
# machine.
#   bench/startup_bench.sh [RUNS] [--wine]
# RUNS defaults to 7; the program is build/dev/app/kestrin or KESTRIN_BIN. --wine runs the Windows
# build (build/windows/app/kestrin.exe or KESTRIN_BIN) under Wine, in a private prefix booted
# beforehand and without a sound device: exec of Wine to the window mapped, and Wine's process.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../scripts/lib/wine.sh
. "$root/scripts/lib/wine.sh"
runs=${1:-7}
wine=""
[ "${2:-}" != --wine ] || wine=1
bin=${KESTRIN_BIN:-$root/build/dev/app/kestrin}
[ -z "$wine" ] || bin=${KESTRIN_BIN:-$root/build/windows/app/kestrin.exe}
work=$(mktemp -d)
pid=""
Cleanup()
{
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    [ -z "$wine" ] || WineStop
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
XStart
mkdir -m 700 "$work/runtime"
program=("$bin")
if [ -n "$wine" ]; then
    WineStart "$root/build/windows/wine-startup" || exit 1
    # wine-run.sh ends by exec'ing Wine, whose process the program's becomes.
    program=("$root/scripts/wine-run.sh" "$WINEPREFIX" "$bin")
fi

Median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/mapped" && : >"$work/rss"
for _ in $(seq "$runs"); do
    rm -rf "$work/config"
    start=$(date +%s%N)
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" "${program[@]}" >/dev/null \
        2>"$work/stderr" &
    pid=$!
    # Poll often: the figure is only as fine as this loop (a few ms per xdotool call).
    until xdotool search --onlyvisible --name '^Kestrin$' >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "kestrin ended before its window showed:" >&2; cat "$work/stderr" >&2; exit 1; }
    done
    echo $((($(date +%s%N) - start) / 1000000)) >>"$work/mapped"
    # Let the first paint and the sound device's opening finish before reading the peak.
    sleep 1
    awk '/VmHWM/ { print int($2 / 1024) }' "/proc/$pid/status" >>"$work/rss"
    kill "$pid" && wait "$pid" 2>/dev/null || true
    pid=""
done
echo "start-up over $runs runs of $bin"
echo "  exec to window mapped: median $(Median <"$work/mapped") ms (all: $(tr '\n' ' ' <"$work/mapped"))"
echo "  peak resident memory:  median $(Median <"$work/rss") MB (all: $(tr '\n' ' ' <"$work/rss"))"
