#!/usr/bin/env bash
# The whole program on a Wayland compositor (a private Weston with XWayland) and a private
# PulseAudio: starts kestrin with fresh settings, presses Enter (the focus is on "Go !", so the
# initial sentence is sent), records the sound, presses Escape, and checks what sendcheck.sh checks.
#   wayland_e2e.sh PATH/TO/kestrin PATH/TO/morse_listen xwayland|native
# xwayland: the platform left to the program, which picks XWayland; the window must be an X window.
# native:   QT_QPA_PLATFORM=wayland and no X display; the window must be a Wayland toplevel.
# Also prints how the window's surface commits reached the compositor during the send, since the
# lamp is drawn while the program's window thread sleeps.
set -euo pipefail
kestrin=$1 listen=$2 mode=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../scripts/lib/program.sh
. "$root/scripts/lib/program.sh"
# shellcheck source=../../scripts/lib/weston.sh
. "$root/scripts/lib/weston.sh"
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
# shellcheck source=../../scripts/lib/sendcheck.sh
. "$root/scripts/lib/sendcheck.sh"

work=$(mktemp -d /tmp/kestrin-e2e.XXXXXX)
pid=""
Cleanup()
{
    StopProcess "$pid"
    PulseStop
    WestonStop
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }

XStart
WestonStart
PulseStart
RecordStart "$work/sound.wav"
case $mode in
xwayland) platform=(-u QT_QPA_PLATFORM DISPLAY="$WESTON_XDISPLAY") ;;
native) platform=(-u DISPLAY QT_QPA_PLATFORM=wayland) ;;
*) Fail "mode is xwayland or native, not $mode" ;;
esac
env -u SDL_AUDIODRIVER "${platform[@]}" XDG_CONFIG_HOME="$work/config" "$kestrin" \
    >"$work/stdout" 2>"$work/stderr" &
pid=$!

# The window: an X window on XWayland, or a Wayland toplevel titled Kestrin.
if [ "$mode" = xwayland ]; then
    DISPLAY=$WESTON_XDISPLAY XWaitWindow Kestrin 20 >/dev/null || Fail "no X window named Kestrin"
else
    WestonWaitLogged 'xdg_toplevel@[0-9]*\.set_title("Kestrin")' ||
        Fail "no Wayland window titled Kestrin"
fi
# The desktop shell activates the window once it has drawn: the keyboard enters it (or XWayland).
WestonWaitLogged 'ev wl_keyboard@[0-9]*\.enter(' || Fail "the window never got the keyboard"
WestonFocus
xdotool key Return
pressed=$(date +%H:%M:%S.%3N)
# The sentence takes 25.98 s at speed 20; then a margin for the last tone to reach the recorder.
sleep 27
done=$(date +%H:%M:%S.%3N)
xdotool key Escape
WaitForEnd 10 || exit 1
RecordStop

# Commits of the program's surfaces while the send ran (the client that committed most then: the
# program itself, or XWayland on its behalf): each lamp change is one repaint. Commits less than
# 5 ms apart count as one delivery.
WestonLog | awk -v from="$pressed" -v to="$done" -v gapsfile="$work/gaps" \
    -v momentsfile="$work/moments" '
    function ms(t, p) { split(t, p, ":"); return (p[1] * 60 + p[2]) * 60000 + p[3] * 1000 }
    /\]\[proto\] client .* rq wl_surface@[0-9]*\.commit\(\)/ {
        t = substr($2, 1, 12)
        if (t >= from && t <= to) { c = $4; n[c]++; at[c, n[c]] = ms(t) }
    }
    END {
        for (c in n) if (n[c] > n[best]) best = c
        for (i = 1; i <= n[best]; i++) {
            if (i > 1 && at[best, i] - at[best, i - 1] <= 5) continue
            if (moments++) print at[best, i] - prev >gapsfile
            prev = at[best, i]
        }
        printf "commits during the send: %d, reaching the compositor at %d moments", n[best], moments
        print moments >momentsfile
    }'
touch "$work/gaps"
sort -n -o "$work/gaps" "$work/gaps"
gaps=$(wc -l <"$work/gaps")
[ "$gaps" -gt 0 ] && printf "; between moments: median %d ms, max %d ms" \
    "$(sed -n "$(((gaps + 1) / 2))p" "$work/gaps")" "$(tail -n 1 "$work/gaps")"
echo

SendCheck "$listen" "$work/sound.wav" "$status" "$work/stderr" "$work/config" || exit 1
# Every lamp drawing reaches the compositor on its own, while the window thread sleeps: at least
# the lit and the dark drawing of each of the sentence's 114 elements.
[ "$(cat "$work/moments")" -ge 228 ] ||
    Fail "the lamp's drawings did not reach the compositor one by one"
echo "PASS"
