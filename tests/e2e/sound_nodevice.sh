#!/usr/bin/env bash
# A PulseAudio server without an output device, from the start and lost mid-send: the sender
# neither crashes nor stops keying (a send without a device is silent and ends on time), and sound
# comes back once a sink is loaded again. One sender process throughout.
#   sound_nodevice.sh PATH/TO/tone_smoke PATH/TO/morse_listen
set -euo pipefail
smoke=$1 listen=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"

work=$(mktemp -d /tmp/kestrin-nodevice.XXXXXX)
sender=""
Cleanup()
{
    [ -n "$sender" ] && kill "$sender" 2>/dev/null && { wait "$sender" 2>/dev/null || true; }
    PulseStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }

SinkUnload()
{
    local module
    module=$(pactl list short modules | awk '$2 == "module-null-sink" { print $1 }')
    [ -n "$module" ] || Fail "no null sink to unload"
    pactl unload-module "$module"
}
SinkLoad() { pactl load-module module-null-sink sink_name=rec rate=48000 channels=1 >/dev/null; }

Sent() { grep -c '^sent' "$work/out" || true; }

# Waits at most SECONDS for more than BEFORE "sent" replies; prints how long the last send took.
WaitSent()
{
    local before=$1 seconds=$2
    for _ in $(seq $((seconds * 20))); do
        [ "$(Sent)" -gt "$before" ] && break
        kill -0 "$sender" 2>/dev/null || Fail "the sender died"
        sleep 0.05
    done
    [ "$(Sent)" -gt "$before" ] || Fail "a send did not end"
    tail -n 1 "$work/out" | cut -d' ' -f2
}

# Sends one line and waits for its reply, at most SECONDS; prints how long the send took.
Send()
{
    local before
    before=$(Sent)
    echo "$1" >&3
    WaitSent "$before" "$2"
}

# A dot at speed 20 takes 180 ms with its pads and the character pads, and the sender waits 300
# ms after each send: a send held by the missing device would take far longer.
SilentDot()
{
    local ms
    ms=$(Send E 5)
    echo "$1: one element without a device in $ms ms"
    [ "$ms" -lt 1500 ] || Fail "$1: the send without a device took $ms ms"
}

HeardParis()
{
    RecordStart "$work/$1.wav"
    Send PARIS 10 >/dev/null
    RecordStop
    "$listen" "$work/$1.wav" 60 | tee "$work/$1.heard"
    grep -qx 'text: PARIS' "$work/$1.heard" || Fail "$1: PARIS was not heard"
}

unset SDL_AUDIODRIVER
PulseStart || exit 77 # no server: the environment, not the sender
SinkUnload
mkfifo "$work/in"
"$smoke" sends <"$work/in" >"$work/out" &
sender=$!
exec 3>"$work/in"

SilentDot "no sink from the start"
SinkLoad
HeardParis "sink loaded"

# The sink goes while a send sounds, then stays away for another send.
before=$(Sent)
echo "PARIS PARIS" >&3
sleep 0.5
SinkUnload
WaitSent "$before" 10 >/dev/null
SilentDot "sink lost mid-send"
SinkLoad
HeardParis "sink loaded again"

exec 3>&-
wait "$sender" || Fail "the sender failed"
sender=""
echo "PASS"
