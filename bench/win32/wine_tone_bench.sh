#!/usr/bin/env bash
# The Windows build's tone under Wine: runs wasapi_bench against a private PulseAudio null sink,
# through Wine's ALSA driver (ALSA's pulse plugin) at real-time priority as the end-to-end test
# does, records the sink's monitor with parec and times it on the monotonic raw clock, which is
# Wine's steady_clock. Prints the device, the least start delay, call -> sound on the monitor,
# the spacing error of tones against their calls, holes, tone lengths and the idle CPU. Figures
# are Wine's, not Windows'. Never fails on a slow machine.
#   bench/win32/wine_tone_bench.sh [--busy N] [--driver alsa|pulse] [TONES]
# The build directory defaults to build/windows; set BUILD to use another.
set -euo pipefail
cd "$(dirname "$0")/../.."
busy=0 driver=alsa
while [ $# -gt 0 ]; do
    case $1 in
    --busy) busy=$2; shift 2 ;;
    --driver) driver=$2; shift 2 ;;
    *) break ;;
    esac
done
tones=${1:-50}
build=${BUILD:-build/windows}
bench=$build/bench/wasapi_bench.exe
[ -f "$bench" ] || { echo "build $bench first: cmake --build --preset windows --target wasapi_bench"; exit 1; }
prefix=$(pwd)/$build/wine-bench-$driver

# shellcheck source=../../scripts/lib/pulse.sh
. scripts/lib/pulse.sh
# shellcheck source=../../scripts/lib/wine.sh
. scripts/lib/wine.sh
loops=()
Cleanup()
{
    local pid
    for pid in "${loops[@]}"; do kill "$pid" 2>/dev/null || true; done
    PulseStop
    WineStop
}
trap Cleanup EXIT
PulseStart
WineStart "$prefix" "$driver"
for _ in $(seq "$busy"); do
    sh -c 'while :; do :; done' &
    loops+=("$!")
done
echo "Wine $(/usr/lib/wine/wine64 --version 2>/dev/null || true), driver $driver; $busy busy loops;" \
    "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
chrt -r 10 scripts/wine-run.sh "$prefix" "$bench" lead 10 | tr -d '\r'

PYTHONPATH=bench/win32 python3 - "$prefix" "$bench" "$tones" <<'PY'
import subprocess, sys
from wine_audio import RATE, Recorder, find_tones, quantile as q

prefix, bench, tones = sys.argv[1], sys.argv[2], sys.argv[3]
recorder = Recorder()
recorder.wait_for_data()
run = subprocess.run(["chrt", "-r", "10", "scripts/wine-run.sh", prefix, bench, "tones", tones],
    capture_output=True, text=True)
recorder.stop()
lines = run.stdout.replace("\r", "").splitlines()
calls = [int(l.split()[1]) for l in lines if l.startswith("call ")]
for l in lines:
    if not l.startswith("call "):
        print(l)
base = recorder.base_ns()
# Tones: runs above a threshold, split by a silence of 20 ms or more. A silence of a millisecond
# or more inside one is a hole.
found, holes = find_tones(recorder.samples, threshold=1000, split_ms=20, hole_ms=1)
recorder.save(prefix + ".raw")
print(f"tones called {len(calls)} (the last three after the idle time), heard {len(found)}; holes {holes}")
if len(found) == len(calls) and calls:
    onsets = [base + t[0] * 1e9 / RATE for t in found]
    latency = [(o - c) / 1e6 for o, c in zip(onsets, calls)]
    # The last three are a send after the idle time.
    print("after idle, call -> sound of the first three elements, ms: "
          + " ".join("%.2f" % v for v in latency[-3:]))
    latency, onsets, calls = latency[:-3], onsets[:-3], calls[:-3]
    spacing = [abs((onsets[k] - onsets[0]) - (calls[k] - calls[0])) / 1e6 for k in range(1, len(calls))]
    lengths = [(t[1] - t[0] + 1) / (RATE / 1000) for t in found]
    print("call -> sound on the monitor, ms: p50 %.2f p95 %.2f min %.2f max %.2f"
          % (q(latency, .5), q(latency, .95), min(latency), max(latency)))
    print("spacing error, ms: p50 %.3f p95 %.3f max %.3f" % (q(spacing, .5), q(spacing, .95), max(spacing)))
    print("lengths above the threshold, ms: min %.3f max %.3f (40 ms keyed)" % (min(lengths), max(lengths)))
PY
