#!/usr/bin/env bash
# The Windows program sends as the Linux one does: sender_e2e.sh KESTRIN_EXE MORSE_LISTEN_EXE
# PREFIX. On a private Xvfb, PulseAudio null sink and Wine prefix (all stopped at the end) it
# starts kestrin.exe with fresh settings, presses Enter (the focus is on "Go !"), records the
# sink and makes the Linux sender test's checks: the initial sentence at 800 Hz with 60 ms dots
# and 180 ms dashes, then Escape ends it with status 0, nothing on stderr, the defaults saved.
# Wine's ALSA driver through ALSA's pulse plugin, at real-time priority, leaves no holes of its
# own (see tests/output/win32/tone_e2e.sh), so a hole here is ours.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
# shellcheck source=../../../scripts/lib/wine.sh
. "$root/scripts/lib/wine.sh"
# shellcheck source=../../../scripts/lib/program.sh
. "$root/scripts/lib/program.sh"
# shellcheck source=../../../scripts/lib/sendcheck.sh
. "$root/scripts/lib/sendcheck.sh"
exe=$(realpath "$1") listen_exe=$(realpath "$2")
work=$(mktemp -d)
pid=""
Cleanup()
{
    StopProcess "$pid"
    WineStop
    PulseStop
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }
# Windows programs end their lines with CR LF.
Listen() { Wine "$listen_exe" "$@" </dev/null | tr -d '\r'; }

XStart || exit 1
# A server that does not start is the machine's fault: it gets a second try.
PulseStart || { PulseStop; echo "once more"; PulseStart; } || Fail "no PulseAudio server"
WineStart "$3" alsa || Fail "no Wine prefix"
config="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming"
rm -f "$config/kestrin.INI"

RecordStart "$work/sound.wav" || Fail "nothing to record"
start=$(date +%s%N)
chrt -r 10 "$root/scripts/wine-run.sh" "$WINEPREFIX" "$exe" </dev/null >/dev/null \
    2>"$work/stderr" &
pid=$!
wid=$(XWaitWindow Kestrin 30) || Fail "the main window did not open"
echo "main window after $((($(date +%s%N) - start) / 1000000)) ms"
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key Return
# The sentence takes 25.98 s at speed 20; then a margin for the last tone to reach the recorder.
# Escape, pressed during the send, is carried out after it.
sleep 27
xdotool key Escape
WaitForEnd 10 || exit 1
RecordStop
SendCheck Listen "$work/sound.wav" "$status" "$work/stderr" "$config" || exit 1
echo "PASS"
