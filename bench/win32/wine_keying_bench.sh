#!/usr/bin/env bash
# Whole sends of the Windows program's main window under Wine: runs wine_keying_bench on a private
# Xvfb and PulseAudio null sink (stopped by their PIDs), in a Wine prefix of its own with Wine's
# ALSA driver (ALSA's pulse plugin) at real-time priority, as the end-to-end test runs it. Records
# the sink's monitor with parec, timed on the monotonic raw clock, which is Wine's steady_clock,
# and compares it with the lamp's drawings and with the engine's own timing rules. Prints per
# send: holes, tones heard against lamps lit, lamp lit -> sound median and spread (max - min), the
# gap error (each silence on air less the model's) median, p95 and largest, and the first gap
# against the median. Figures are Wine's, not Windows'. Never fails on a slow machine.
#   bench/win32/wine_keying_bench.sh [RUNS] [--busy N] [--paris]
# Each run sends the initial sentence at the default settings, or with --paris "PARIS PARIS" at
# 25 WPM; --busy N runs N busy loops beside it. The build directory defaults to build/windows; set
# BUILD to use another.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=1 busy=0 paris=""
while [ $# -gt 0 ]; do
    case $1 in
    --busy) busy=$2; shift 2 ;;
    --paris) paris=1; shift ;;
    *) runs=$1; shift ;;
    esac
done
build=${BUILD:-build/windows}
bench=$build/bench/wine_keying_bench.exe
[ -f "$bench" ] ||
    { echo "build $bench first: cmake --build --preset windows --target wine_keying_bench"; exit 1; }
prefix=$(pwd)/$build/wine-keying-bench

# shellcheck source=../../scripts/lib/xvfb.sh
. scripts/lib/xvfb.sh
# shellcheck source=../../scripts/lib/pulse.sh
. scripts/lib/pulse.sh
# shellcheck source=../../scripts/lib/wine.sh
. scripts/lib/wine.sh
loops=() summary=$(mktemp /tmp/kestrin-wine-keying.XXXXXX)
Cleanup()
{
    local pid
    for pid in "${loops[@]}"; do kill "$pid" 2>/dev/null || true; done
    # The prefix's server holds the display: it ends first.
    WineStop
    PulseStop
    XStop
    rm -f "$summary"
}
trap Cleanup EXIT
XStart
PulseStart
WineStart "$prefix" alsa
for _ in $(seq "$busy"); do
    sh -c 'while :; do :; done' &
    loops+=("$!")
done
echo "Wine $(/usr/lib/wine/wine64 --version 2>/dev/null || true), driver alsa; $busy busy loops;" \
    "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

# One send: its figures, and a line for the table at the end.
Send()
{
    PYTHONPATH=bench/win32 python3 - "$prefix" "$bench" "$1" "$summary" ${paris:+--paris} <<'PY' ||
import subprocess, sys
from wine_audio import RATE, Recorder, find_tones, quantile as q

prefix, bench, label, summary = sys.argv[1:5]
recorder = Recorder()
recorder.wait_for_data()
run = subprocess.run(["chrt", "-r", "10", "scripts/wine-run.sh", prefix, bench] + sys.argv[5:],
                     capture_output=True, text=True)
recorder.stop()
model, lit, dark = [], [], []
for line in run.stdout.replace("\r", "").splitlines():
    word = line.split()
    if line.startswith("model tone "):
        model.append((int(word[2]), int(word[3])))
    elif word and word[0] in ("lit", "dark"):
        (lit if word[0] == "lit" else dark).append(int(word[1]))
    else:
        print(line)
# The sine is never 0 at a sample inside a tone; silence is exact zeros, and every tone whole is
# as long as keyed to within a millisecond. A silence shorter than the model's shortest, beside a
# piece of a length no tone has, is a hole inside a tone (Wine's last a period, 10 ms, or a few);
# two whole tones that close are a voice moved.
shortest = min((model[i + 1][0] - model[i][0] - model[i][1] for i in range(len(model) - 1)),
               default=20)
whole = lambda t: any(abs((t[1] + 1 - t[0]) * 1000 / RATE - m[1]) < 1 for m in model)
tones, holes = [], []
for t in find_tones(recorder.samples, threshold=1, split_ms=1)[0]:
    if (tones and (t[0] - tones[-1][1] - 1) * 1000 / RATE < shortest
            and not (whole(t) and whole(tones[-1]))):
        holes.append("%.1f ms in tone %d" % ((t[0] - tones[-1][1] - 1) * 1000 / RATE, len(tones)))
        tones[-1] = (tones[-1][0], t[1])
    else:
        tones.append(t)
print("%d tones in the model, %d lamps lit, %d put out, %d tones heard; holes: %s"
      % (len(model), len(lit), len(dark), len(tones), ", ".join(holes) or "none"))
holes = len(holes)
with open(summary, "a") as out:
    if not model or len(tones) != len(model) or len(lit) != len(model) or len(dark) != len(model):
        recorder.save(prefix + ".raw")
        print("the send was not found whole; the recording is in " + prefix + ".raw")
        out.write("%s: holes %d, heard %d of %d lit, not whole\n" % (label, holes, len(tones), len(lit)))
        sys.exit(0)
    # Mapped at the nominal rate from the blocks that arrived once the send ran.
    base = recorder.base_ns(since_ns=lit[0])
    ms = 1000.0 / RATE
    onset = [base + t[0] * 1e9 / RATE for t in tones]
    lamp_sound = [(o - l) / 1e6 for o, l in zip(onset, lit)]
    gap, thread = [], []
    for i in range(len(tones) - 1):
        heard = (tones[i + 1][0] - (tones[i][1] + 1)) * ms
        gap.append(heard - (model[i + 1][0] - (model[i][0] + model[i][1])))
        # The same spacing as the window thread kept it: from one lamp lit to the next.
        thread.append((lit[i + 1] - lit[i]) / 1e6 - (model[i + 1][0] - model[i][0]))
    lamp_on = [(d - l) / 1e6 - m[1] for l, d, m in zip(lit, dark, model)]
    length = [(t[1] + 1 - t[0]) * ms - m[1] for t, m in zip(tones, model)]
    largest = lambda v: max(v, key=abs)

    def figures(name, v):
        print("%-30s median %7.3f  p95 %7.3f  largest %7.3f  min %7.3f ms (n=%d)"
              % (name, q(v, .5), q(v, .95), largest(v), min(v), len(v)))
    figures("gap error (heard - model)", gap)
    figures("  of it on the window thread", thread)
    figures("  of it on the audio side", [g - t for g, t in zip(gap, thread)])
    figures("lamp lit - tone length", lamp_on)
    figures("tone length error", length)
    figures("lamp lit -> sound", lamp_sound)
    drift = (tones[-1][0] - tones[0][0]) * ms - (model[-1][0] - model[0][0])
    print("%-30s %.1f ms over %.1f s" % ("drift, first to last tone", drift,
                                        (model[-1][0] - model[0][0]) / 1000))
    print("lamp lit -> sound, tone by tone (ms): " + " ".join("%.2f" % v for v in lamp_sound))
    median = q(gap, .5)
    out.write("%s: holes %d, heard %d of %d lit, lamp-sound median %.2f spread %.2f,"
              " gap error median %.3f (window thread %.3f) p95 %.3f largest %.3f,"
              " first - median %.3f\n"
              % (label, holes, len(tones), len(lit), q(lamp_sound, .5),
                 max(lamp_sound) - min(lamp_sound), median, q(thread, .5), q(gap, .95),
                 largest(gap), gap[0] - median))
PY
        echo "$1: no figures" >>"$summary"
}

send="sentence at 20"
[ -z "$paris" ] || send="PARIS PARIS at 25"
for i in $(seq "$runs"); do
    echo "== run $i, $send"
    Send "run $i, $send"
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== per send ($busy busy loops)"
cat "$summary"
