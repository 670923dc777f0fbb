#!/usr/bin/env bash
# The Windows build's tone on air: keys a few elements, then "PARIS", through the WASAPI stream
# under Wine into a private PulseAudio null sink, records its monitor and checks them as the
# Linux tone smoke test does: count, order, lengths within 1 ms, pitch, the text, and no hole.
# Wine's PulseAudio driver sometimes feeds the server late, leaving holes that are Wine's; its
# ALSA driver through ALSA's pulse plugin, with the program at real-time priority, leaves none,
# so a hole here is ours. Starts and stops its own server by PID, in a prefix of its own.
#   tone_e2e.sh PREFIX PATH/TO/tone_smoke.exe PATH/TO/morse_listen.exe
set -euo pipefail
prefix=$1 smoke=$2 listen=$3
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
Cleanup()
{
    PulseStop
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }
# Windows programs end their lines with CR LF.
Wine() { chrt -r 10 "$root/scripts/wine-run.sh" "$prefix" "$@" | tr -d '\r'; }

# A server that does not start is the machine's fault, not the program's: it gets a second try.
# What the program plays is judged once.
PulseStart || { PulseStop; echo "once more"; PulseStart; } || Fail "no PulseAudio server"
"$root/scripts/wine-run.sh" "$prefix" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f \
    >/dev/null

RecordStart "$PULSE_DIR/elements.wav"
Wine "$smoke" play
RecordStop
Wine "$smoke" check "$PULSE_DIR/elements.wav" || Fail "the elements"

RecordStart "$PULSE_DIR/paris.wav"
echo PARIS | Wine "$smoke" sends
RecordStop
heard=$(Wine "$listen" "$PULSE_DIR/paris.wav" 60)
echo "$heard"
grep -qx 'text: PARIS' <<<"$heard" || Fail "not PARIS"
grep -qx 'holes: 0' <<<"$heard" || Fail "a hole"
echo "PASS"
