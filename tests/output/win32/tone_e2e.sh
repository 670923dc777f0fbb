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
# shellcheck source=../../../scripts/lib/wine.sh
. "$root/scripts/lib/wine.sh"
Cleanup()
{
    PulseStop
    WineStop
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }
# At real-time priority; Windows programs end their lines with CR LF.
WineRt() { chrt -r 10 "$root/scripts/wine-run.sh" "$WINEPREFIX" "$@" | tr -d '\r'; }

# A server that does not start is the machine's fault, not the program's: it gets a second try.
# What the program plays is judged once.
PulseStart || { PulseStop; echo "once more"; PulseStart; } || Fail "no PulseAudio server"
WineStart "$prefix" alsa || Fail "no Wine prefix"

RecordStart "$PULSE_DIR/elements.wav"
WineRt "$smoke" play
RecordStop
WineRt "$smoke" check "$PULSE_DIR/elements.wav" || Fail "the elements"

# One sender throughout, as the program keeps one tone generator: "PARIS"; the server killed,
# "E" (silent, and it must not hang); the server started again on the same socket, "PARIS" once
# more. Wine's ALSA driver reports no lost device: the stream sees that the device takes nothing.
mkfifo "$PULSE_DIR/in"
# Straight to the file, unfiltered, so that each reply is there at once.
chrt -r 10 "$root/scripts/wine-run.sh" "$WINEPREFIX" "$smoke" sends <"$PULSE_DIR/in" \
    >"$PULSE_DIR/out" 2>/dev/null &
sender=$!
exec 3>"$PULSE_DIR/in"
# Sends one line and waits for its "sent" reply, at most SECONDS; prints how long the send took.
Send()
{
    local text=$1 seconds=$2 before
    before=$(grep -c '^sent' "$PULSE_DIR/out" || true)
    echo "$text" >&3
    for _ in $(seq $((seconds * 20))); do
        [ "$(grep -c '^sent' "$PULSE_DIR/out" || true)" -gt "$before" ] && break
        sleep 0.05
    done
    [ "$(grep -c '^sent' "$PULSE_DIR/out" || true)" -gt "$before" ] || return 1
    tail -n 1 "$PULSE_DIR/out" | cut -d' ' -f2 | tr -d '\r'
}
SendHeard()
{
    local name=$1 heard
    RecordStart "$PULSE_DIR/$name.wav"
    Send PARIS 10 >/dev/null || Fail "$name: the send did not end"
    RecordStop
    heard=$(WineRt "$listen" "$PULSE_DIR/$name.wav" 60)
    echo "$name: $(tr '\n' ' ' <<<"$heard")"
    grep -qx 'text: PARIS' <<<"$heard" || Fail "$name: not PARIS"
    grep -qx 'holes: 0' <<<"$heard" || Fail "$name: a hole"
}
SendHeard before
kill "$PULSE_PID"
wait "$PULSE_PID" 2>/dev/null || true
PULSE_PID=""
ms=$(Send E 5) || Fail "a send with the server gone did not end within 5 s"
echo "one element with the server gone: $ms ms"
PulseDaemon 3>&- || { PulseStop; Fail "the server did not start again"; }
# The stream learns of its loss when it has taken nothing for a while: until then the sends are
# silent. Once lost, the next send opens the device again.
sleep 4
SendHeard after
exec 3>&-
wait "$sender" || Fail "the sender failed"
echo "PASS"
