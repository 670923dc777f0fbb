#!/usr/bin/env bash
# The program under a window manager that draws frames (openbox) on a private Xvfb whose work area
# is smaller than the screen: the main window's frame is centred on the work area; "About
# Kestrin..." in the right-click menu opens the About box, centred over the main window's frame,
# and the screen shows its text; with the main window moved half off the work area, the About box
# opened by its button is moved back inside the work area.
#   window_manager_e2e.sh PATH/TO/kestrin [SCREENSHOT.png]
# With SCREENSHOT.png it also writes a picture of the screen with the About box open.
set -euo pipefail
kestrin=$1 picture=${2:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../scripts/lib/program.sh
. "$root/scripts/lib/program.sh"

work=$(mktemp -d /tmp/kestrin-wm.XXXXXX)
pid="" wm_pid=""
Cleanup()
{
    StopProcess "$pid"
    StopProcess "$wm_pid"
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail()
{
    echo "FAIL: $*" >&2
    exit 1
}

# "X Y W H" of the frame around client window $1: the child of the root window that holds it.
Frame()
{
    local w=$1 parent top
    top=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    while parent=$(xwininfo -children -id "$w" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p') &&
        [ -n "$parent" ] && [ "$parent" != "$top" ]; do
        w=$parent
    done
    xwininfo -id "$w" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print x, y, w, h }'
}

# Waits until the frame of $1 stops moving (the window manager and the program may each move it
# once after mapping) and prints it.
SettledFrame()
{
    local last="" now
    for _ in $(seq 50); do
        now=$(Frame "$1")
        [ "$now" = "$last" ] && {
            echo "$now"
            return
        }
        last=$now
        sleep 0.1
    done
    echo "$now"
}

# Where a window of outer size W H goes when centred on the rectangle CX CY CW CH and moved back
# inside the work area AX AY AW AH: integer halves, left and top edges tested first.
Centred()
{
    awk -v w="$1" -v h="$2" -v cx="$3" -v cy="$4" -v cw="$5" -v ch="$6" \
        -v ax="$7" -v ay="$8" -v aw="$9" -v ah="${10}" 'function half(v) { return int(v / 2) }
        BEGIN {
            x = half(cx + cx + cw) - half(w); y = half(cy + cy + ch) - half(h)
            if (x < ax) x = ax; else if (x + w > ax + aw) x = ax + aw - w
            if (y < ay) y = ay; else if (y + h > ay + ah) y = ay + ah - h
            print x, y
        }'
}

# Within 1 px: "X Y" of $1 against "X Y" of $2.
Near()
{
    awk -v a="$1" -v b="$2" 'BEGIN { split(a, p); split(b, q)
        exit !((p[1] - q[1]) ^ 2 <= 1 && (p[2] - q[2]) ^ 2 <= 1) }'
}

# Margins make the work area smaller than the screen, as a panel would.
cat >"$work/rc.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <margins><top>24</top><bottom>40</bottom><left>16</left><right>0</right></margins>
</openbox_config>
EOF
# Now and then openbox cannot open a display that has just answered xdpyinfo, on a machine where
# other tests start and stop X servers too; a fresh server then does.
area=""
for attempt in 1 2 3; do
    XStart
    HOME=$work openbox --config-file "$work/rc.xml" --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 200); do
        area=$(xprop -root _NET_WORKAREA 2>/dev/null |
            sed -n 's/.* = \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\).*/\1 \2 \3 \4/p')
        [ "$area" = "16 24 1264 736" ] && break 2
        kill -0 "$wm_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "attempt $attempt: no work area from openbox: $(cat "$work/openbox.log")"
    StopProcess "$wm_pid"
    wm_pid=""
    XStop
done
[ "$area" = "16 24 1264 736" ] || Fail "openbox did not set the work area (got '$area')"
read -r ax ay aw ah <<<"$area"

mkdir -m 700 "$work/runtime"
env -u QT_QPA_PLATFORM SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" "$kestrin" >"$work/stdout" 2>"$work/stderr" &
pid=$!
main=$(XWaitWindow Kestrin 20) || Fail "no window named Kestrin"

read -r mx my mw mh <<<"$(SettledFrame "$main")"
echo "work area $area; main window frame $mx $my $mw $mh"
[ "$mh" -gt "$(xwininfo -id "$main" | awk '/^ *Height:/ { print $2 }')" ] ||
    Fail "the main window has no frame: is openbox running?"
Near "$mx $my" "$(Centred "$mw" "$mh" "$ax" "$ay" "$aw" "$ah" "$ax" "$ay" "$aw" "$ah")" ||
    Fail "main window frame at $mx $my, not centred on the work area"

# Right click between the sliders and the buttons, then the menu's last item.
xdotool mousemove --window "$main" 300 190 click 3
sleep 0.5
xdotool key Up Return
about=$(XWaitWindow "About Kestrin" 10) || Fail "the menu item did not open the About box"
read -r bx by bw bh <<<"$(SettledFrame "$about")"
echo "About box frame $bx $by $bw $bh"
Near "$bx $by" "$(Centred "$bw" "$bh" "$mx" "$my" "$mw" "$mh" "$ax" "$ay" "$aw" "$ah")" ||
    Fail "About box at $bx $by, not centred over the main window"

# The box's client area on the screen: its light face with dark text, not black, not blank.
import -window root "$work/screen.png"
[ -z "$picture" ] || cp "$work/screen.png" "$picture"
eval "$(xwininfo -id "$about" | awk '/Absolute upper-left X/ { print "cx=" $4 }
    /Absolute upper-left Y/ { print "cy=" $4 } /^ *Width:/ { print "cw=" $2 }
    /^ *Height:/ { print "ch=" $2 }')"
light=$(convert "$work/screen.png" -crop "${cw}x${ch}+${cx}+${cy}" -colorspace Gray -threshold 50% \
    -format '%[fx:mean]' info:)
echo "About box on the screen: $light of its pixels light"
awk -v l="$light" 'BEGIN { exit !(l > 0.8 && l < 0.995) }' ||
    Fail "the screen does not show the About box's face and text (light share $light)"

# A key pressed before the window manager has given the box the focus goes elsewhere: pressed
# again while the box stays.
for attempt in $(seq 50); do
    xwininfo -id "$about" >/dev/null 2>&1 || break
    if [ $((attempt % 10)) -eq 1 ]; then
        xdotool windowfocus --sync "$about"
        xdotool key Escape
    fi
    sleep 0.1
done
xwininfo -id "$about" >/dev/null 2>&1 && Fail "Escape did not close the About box"

# The main window half off the left and bottom of the work area: the box is moved back inside.
# The window manager may ignore a move while it still finishes the box's closing: asked again.
for _ in $(seq 10); do
    xdotool windowmove "$main" -300 $((ay + ah - 60))
    sleep 0.5
    read -r mx my mw mh <<<"$(SettledFrame "$main")"
    [ "$mx" -lt 0 ] && break
done
[ "$mx" -lt 0 ] || Fail "the main window could not be moved half off the work area"
xdotool windowfocus --sync "$main"
xdotool key Tab Tab Tab Tab Tab space # from "Go !" to "About"
about=$(XWaitWindow "About Kestrin" 10) || Fail "the About button did not open the About box"
read -r bx by bw bh <<<"$(SettledFrame "$about")"
echo "main window frame $mx $my; About box frame $bx $by $bw $bh"
Near "$bx $by" "$ax $((ay + ah - bh))" || Fail "About box at $bx $by, not moved into the work area"
xdotool windowfocus --sync "$about"
xdotool key Escape
sleep 0.3
xdotool windowfocus --sync "$main"
xdotool key Escape

WaitForEnd 10 || exit 1
[ "$status" -eq 0 ] || Fail "exit status $status"
[ ! -s "$work/stderr" ] || Fail "printed on stderr: $(cat "$work/stderr")"
echo "PASS"
