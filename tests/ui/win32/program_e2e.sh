#!/usr/bin/env bash
# The Windows program under Wine, as a user meets it: program_e2e.sh KESTRIN_EXE PREFIX. On a
# private Xvfb and Wine prefix (both stopped at the end) it checks that the main window opens
# centred in the work area, that "About" and the system menu's "About Kestrin..." open the About
# box centred over it, that F1 opens the help at the topic of the window in focus, that the lamp shows
# during a send, and that a click on the tone slider's left end, once released, is saved in
# %APPDATA%\kestrin.INI when Escape ends the program with status 0 and nothing on stderr.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/xvfb.sh
source "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
exe=$(realpath "$1")
work=$(mktemp -d)
stop() {
    WineStop
    XStop
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
XStart || exit 1
# Booted before anything is timed, with no sound device: the program plays silently, as on a
# Windows machine without one.
WineStart "$2" || fail "no Wine prefix"
ini="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/kestrin.INI"
rm -f "$ini"

# x y width height of a window, frame included (Wine draws it: no window manager).
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width/{w=$2} /Height/{h=$2} END{print x, y, w, h}'
}

# Help opens in the browser: Wine's browser launcher is told to use a recorder of the address it
# is given.
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$work/browsed" >"$work/browser"
chmod +x "$work/browser"
Wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d "$work/browser" /f \
    </dev/null >/dev/null 2>&1
# F1, then the address the browser was given must be the help at topic $1.
check_help() {
    local before
    before=$(cat "$work/browsed" 2>/dev/null | wc -l)
    xdotool key F1
    for _ in $(seq 100); do
        [ "$(cat "$work/browsed" 2>/dev/null | wc -l)" -gt "$before" ] && break
        sleep 0.1
    done
    tail -n 1 "$work/browsed" 2>/dev/null | grep -q "kestrin\.html#$1\$" ||
        fail "F1 in $2 did not open the help at $1: '$(tail -n 1 "$work/browsed" 2>/dev/null)'"
    echo "help from $2 opened at $(tail -n 1 "$work/browsed")"
}

start=$(date +%s%N)
Wine "$exe" 2>"$work/stderr" &
pid=$!
wid=$(XWaitWindow Kestrin 30) || fail "the main window did not open"
echo "main window after $((($(date +%s%N) - start) / 1000000)) ms"
read -r x y w h < <(geometry "$wid")
# Centred in the work area, which is the whole 1280x800 screen here.
[ "$x" -eq $((640 - w / 2)) ] && [ "$y" -eq $((400 - h / 2)) ] ||
    fail "main window at $x,$y size ${w}x$h is not centred"

# The About box opens centred over the main window, and Escape closes it.
check_about() {
    local about ax ay aw ah
    about=$(XWaitWindow "About Kestrin" 10) || fail "the About box did not open from $1"
    read -r ax ay aw ah < <(geometry "$about")
    [ $((ax + aw / 2 - (x + w / 2))) -le 1 ] && [ $((ax + aw / 2 - (x + w / 2))) -ge -1 ] &&
        [ $((ay + ah / 2 - (y + h / 2))) -le 1 ] && [ $((ay + ah / 2 - (y + h / 2))) -ge -1 ] ||
        fail "About box from $1 at $ax,$ay size ${aw}x$ah is not centred over $x,$y ${w}x$h"
    [ "$1" != "the button" ] || check_help 0x20064 "the About box"
    xdotool key Escape
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name '^About Kestrin$' >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the About box from $1 did not close"
}
# The focus starts on "Go !", and Shift+Tab goes round to the About button.
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key shift+Tab space
check_about "the button"
# The system menu's last item: a click on the caption's icon opens the menu.
xdotool mousemove --window "$wid" 10 10 click 1
sleep 0.5
xdotool key Up Return
check_about "the system menu"

# F1 opens the help at the topic of the window in focus.
xdotool windowfocus --sync "$wid" 2>/dev/null
check_help 0x20066 "the main window"

# "Go !" clicked: while the window thread sends, and handles no messages, the lamp's centre must
# turn white on the screen (a pixel read from the X server) and dark again. Points are in pixels
# from the window's outer corner, from the template's dialog units in Wine's default font.
pixel() {
    import -window root -crop "1x1+$((x + $1))+$((y + $2))" -depth 8 txt:- 2>/dev/null |
        grep -o '#[0-9A-F]\{6\}' | head -1
}
xdotool mousemove --window "$wid" 440 207 click 1
white=0 dark=0
for _ in $(seq 100); do
    case $(pixel 476 109) in
    '#FFFFFF') white=$((white + 1)) ;;
    '#000000') dark=$((dark + 1)) ;;
    esac
    [ "$white" -ge 3 ] && [ "$dark" -ge 3 ] && break
done
[ "$white" -ge 3 ] && [ "$dark" -ge 3 ] ||
    fail "the lamp did not light and go dark during the send ($white white, $dark dark reads)"
echo "lamp during the send: $white white, $dark dark reads"

# Made during the send, the next click and key are carried out after it.
# A click near the tone slider's left end pages it down; its release takes the value. The point,
# in pixels from the window's outer corner: the slider's channel lies at 7 + 3 dialog units
# across, 89 + 8 down, under Wine's caption (these are Wine's default font's units).
xdotool mousemove --window "$wid" 30 186 click 1
sleep 0.5
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key Escape
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -s "$work/stderr" ] || fail "stderr: $(cat "$work/stderr")"
tone=$(tr -d '\r\0' <"$ini" 2>/dev/null | sed -n 's/^Tone=//p')
[ -n "$tone" ] && [ "$tone" -lt 800 ] || fail "tone saved as '${tone}', not below 800"
echo "tone saved: $tone"
