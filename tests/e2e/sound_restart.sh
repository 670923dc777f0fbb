#!/usr/bin/env bash
# A sound server that restarts under a running sender: sends "PARIS" and decodes it, kills the
# server, sends "E" (silent, and it must not hang), starts the server again on the same socket,
# sends "PARIS" once more and decodes it. One sender process throughout, as the program keeps one
# tone generator for its life.
#   sound_restart.sh PATH/TO/tone_smoke PATH/TO/morse_listen [pulseaudio|pipewire]
set -euo pipefail
smoke=$1 listen=$2 server=${3:-pulseaudio}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
# shellcheck source=../../scripts/lib/pipewire.sh
. "$root/scripts/lib/pipewire.sh"

work=$(mktemp -d /tmp/kestrin-restart.XXXXXX)
sender=""
Cleanup()
{
    [ -n "$sender" ] && kill "$sender" 2>/dev/null && { wait "$sender" 2>/dev/null || true; }
    SoundStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }

unset SDL_AUDIODRIVER
# A server that does not start is the machine's fault, not the program's: it gets a second try.
# Every send is judged once.
SoundStart "$server" || { SoundStop; echo "once more"; SoundStart "$server"; } ||
    Fail "no $server server"
mkfifo "$work/in"
"$smoke" sends <"$work/in" >"$work/out" &
sender=$!
exec 3>"$work/in"

# Sends one line and waits for its "sent" reply, at most SECONDS; prints how long the send took.
Send()
{
    local text=$1 seconds=$2 before
    before=$(grep -c '^sent' "$work/out" || true)
    echo "$text" >&3
    for _ in $(seq $((seconds * 20))); do
        [ "$(grep -c '^sent' "$work/out" || true)" -gt "$before" ] && break
        sleep 0.05
    done
    [ "$(grep -c '^sent' "$work/out" || true)" -gt "$before" ] || return 1
    tail -n 1 "$work/out" | cut -d' ' -f2
}

Heard()
{
    "$listen" "$1" 60 | tee -a "$work/heard"
}

SendHeard()
{
    local name=$1 heard
    RecordStart "$work/$name.wav"
    Send PARIS 10 >/dev/null || Fail "$name: the send did not end"
    RecordStop
    heard=$(Heard "$work/$name.wav")
    grep -qx 'text: PARIS' <<<"$heard" || Fail "$name: $heard"
}

SendHeard before

SoundKill
ms=$(Send E 5) || Fail "a send with the server gone did not end within 5 s"
echo "one element with the server gone: $ms ms"
# A dot at speed 20 takes 180 ms with its pads and the character pads, then 300 ms of margin.
[ "$ms" -lt 1500 ] || Fail "the send with the server gone took $ms ms"

# Its daemons must not hold the sender's input open.
SoundRestart 3>&- || { SoundKill; echo "once more"; SoundRestart 3>&-; } ||
    Fail "the server did not start again"
SendHeard after
exec 3>&-
wait "$sender" || Fail "the sender failed"
sender=""
echo "PASS"
