#!/usr/bin/env bash
# How the whole program ends, on a private X server with fresh settings and no sound server (the
# program is then silent):
#   help     F1 opens the help window; Escape in the main window, the help window still open,
#            ends the program with status 0 and nothing on stderr;
#   idle     SIGTERM after a slider release: the new value is saved, status 0;
#   send     SIGTERM in the middle of a send, after a slider release: the same, within a second;
#   fsize    under a file size limit of 8 bytes (set once the window is there), a slider
#            release and Escape: status 0, the settings file as it was and no temporary left;
#   nodisp   DISPLAY unset, and pointing at no server: one line on stderr, status 1;
#   xidle    the X server killed after a slider release: the new value is saved, status 1;
#   xhelp    the same with the help window open: no crash;
#   xsend    the same in the middle of a send: the program has ended within a second;
#   wlidle   on native Wayland, the compositor killed: the settings saved (the keys the file
#            lacked are added), status 1;
#   wlsend   the same in the middle of a send: the program has ended within a second;
#   resume   with a PulseAudio server: a short send, then idle until the output pauses (corks)
#            its stream, then a send that must resume it, ended by SIGTERM: as for send.
#   exit_e2e.sh PATH/TO/kestrin [CASE...]        (all cases by default)
set -euo pipefail
kestrin=$1
shift
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(help idle send fsize nodisp xidle xhelp xsend wlidle wlsend resume)
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../scripts/lib/program.sh
. "$root/scripts/lib/program.sh"
# shellcheck source=../../scripts/lib/weston.sh
. "$root/scripts/lib/weston.sh"
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"

work=$(mktemp -d /tmp/kestrin-exit.XXXXXX)
pid=""
Cleanup()
{
    StopProcess "$pid" KILL
    PulseStop
    WestonStop
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL ($case): $*" >&2; exit 1; }

# Starts kestrin with a fresh settings folder holding $2 (if any) and waits for its window.
# Extra arguments before the program: $1 (a command prefix such as prlimit, or empty).
Start()
{
    local prefix=$1 settings=${2:-}
    rm -rf "$work/config" "$work/runtime"
    mkdir -p "$work/config"
    mkdir -m 700 "$work/runtime"
    [ -z "$settings" ] || printf '%s' "$settings" >"$work/config/kestrin.INI"
    # shellcheck disable=SC2086 # the prefix is words
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u PULSE_SERVER -u SDL_AUDIODRIVER \
        HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
        $prefix "$kestrin" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    wid=$(XWaitWindow Kestrin 30) || Fail "no window named Kestrin within 30 s"
    xdotool windowfocus --sync "$wid"
    read -r width height < <(xdotool getwindowgeometry "$wid" |
        sed -n 's/ *Geometry: \([0-9]*\)x\([0-9]*\)/\1 \2/p')
}

# Clicks at a point of the main window given in dialog units (329 x 124 in all).
ClickAt()
{
    xdotool mousemove --window "$wid" $(($1 * width / 329)) $(($2 * height / 124)) click 1
}

ExpectCleanExit()
{
    [ "$status" -eq 0 ] || Fail "exit status $status: $(cat "$work/stderr")"
    [ ! -s "$work/stderr" ] || Fail "printed on stderr: $(cat "$work/stderr")"
}

# The gap slider's groove right of its handle (at 1): a click there pages the gap up to 4.
RaiseGap() { ClickAt 200 98; }
ExpectGap4()
{
    grep -qx 'Gap=4' "$work/config/kestrin.INI" ||
        Fail "settings file: $(cat "$work/config/kestrin.INI" 2>&1)"
}

# Types $1 in place of the text box's text and presses "Go !".
Send()
{
    ClickAt 100 40
    xdotool key ctrl+a type "$1"
    ClickAt 250 114
}

# Waits up to $2 seconds until the program's stream on the sound server is corked ("yes") or
# playing ("no"), as $1 says.
WaitCorked()
{
    for _ in $(seq $(($2 * 10))); do
        pactl list sink-inputs 2>/dev/null | grep -q "Corked: $1" && return 0
        sleep 0.1
    done
    return 1
}

# Kills the X server under the running program, which must then end with status 1 within $1
# seconds, having saved the raised gap; a new server serves the cases after it.
ExpectEndWhenXGoes()
{
    kill -KILL "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
    WaitForEnd "$1" || Fail "no end"
    cat "$work/stderr"
    [ "$status" -eq 1 ] || Fail "exit status $status: $(cat "$work/stderr")"
    ExpectGap4
    XStart
}

needX=0
for case in "${cases[@]}"; do
    [ "$case" = nodisp ] || needX=1
done
[ "$needX" -eq 0 ] || XStart

for case in "${cases[@]}"; do
    echo "--- $case"
    case $case in
    help)
        Start ""
        xdotool key F1
        XWaitWindow "Kestrin Help" 10 >/dev/null || Fail "no help window"
        xdotool windowfocus --sync "$wid"
        xdotool key Escape
        WaitForEnd 10 || Fail "no end"
        ExpectCleanExit
        ;;
    idle)
        Start ""
        RaiseGap
        sleep 0.5
        kill -TERM "$pid"
        WaitForEnd 3 || Fail "no end"
        ExpectCleanExit
        ExpectGap4
        ;;
    send)
        Start ""
        RaiseGap
        ClickAt 250 114 # "Go !": the initial sentence takes over 40 s at gap 4
        sleep 1
        kill -TERM "$pid"
        WaitForEnd 1 || Fail "no end"
        ExpectCleanExit
        ExpectGap4
        ;;
    fsize)
        old=$'[parms]\nTone=800\nSpeed=20\nGap=1\n'
        # Limited once the window is there: what the start writes (font and sound caches and
        # the like) is not what this case is about, and under the limit it may stall the start.
        Start "" "$old"
        prlimit --pid "$pid" --fsize=8 || Fail "no file size limit"
        RaiseGap
        sleep 0.5
        xdotool key Escape
        WaitForEnd 10 || Fail "no end"
        [ "$status" -eq 0 ] || Fail "exit status $status"
        [ "$(cat "$work/config/kestrin.INI")"$'\n' = "$old" ] || Fail "settings file changed"
        [ "$(ls -A "$work/config")" = kestrin.INI ] || Fail "left: $(ls -A "$work/config")"
        ;;
    nodisp)
        for display in "" ":4095"; do
            if [ -z "$display" ]; then
                unset_display=(-u DISPLAY)
            else
                unset_display=(DISPLAY="$display")
            fi
            status=0
            env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "${unset_display[@]}" \
                XDG_CONFIG_HOME="$work/config" "$kestrin" >"$work/stdout" 2>"$work/stderr" ||
                status=$?
            cat "$work/stderr"
            [ "$status" -eq 1 ] || Fail "DISPLAY '$display': exit status $status"
            [ "$(wc -l <"$work/stderr")" -eq 1 ] || Fail "DISPLAY '$display': not one line"
            grep -q "display" "$work/stderr" || Fail "DISPLAY '$display': no display named"
        done
        ;;
    xidle)
        Start ""
        RaiseGap
        sleep 0.5
        ExpectEndWhenXGoes 3
        ;;
    xhelp)
        Start ""
        RaiseGap
        xdotool key F1
        XWaitWindow "Kestrin Help" 10 >/dev/null || Fail "no help window"
        ExpectEndWhenXGoes 3
        ;;
    xsend)
        # At speed 1 and gap 4 the first character pad lasts 2.4 s: only its wait can see the
        # server go.
        Start "" $'[parms]\nSpeed=1\n'
        RaiseGap
        ClickAt 250 114 # "Go !"
        sleep 1
        ExpectEndWhenXGoes 1
        ;;
    wlidle | wlsend)
        WestonStart
        rm -rf "$work/config"
        mkdir -p "$work/config"
        printf '[parms]\nSpeed=1\n' >"$work/config/kestrin.INI"
        env -u DISPLAY -u PULSE_SERVER -u SDL_AUDIODRIVER QT_QPA_PLATFORM=wayland \
            HOME="$work" XDG_CONFIG_HOME="$work/config" "$kestrin" >"$work/stdout" \
            2>"$work/stderr" &
        pid=$!
        WestonWaitLogged 'xdg_toplevel@[0-9]*\.set_title("Kestrin")' ||
            Fail "no Wayland window titled Kestrin"
        WestonWaitLogged 'ev wl_keyboard@[0-9]*\.enter(' || Fail "the window never got the keyboard"
        seconds=3
        if [ "$case" = wlsend ]; then
            WestonFocus
            # The focus is on "Go !". At speed 1 the first dash sounds from 1.2 s to 4.8 s, with
            # no drawing of the lamp: only its wait can see the compositor go.
            xdotool key Return
            sleep 2
            seconds=1
        fi
        kill -KILL "$WESTON_PID"
        wait "$WESTON_PID" 2>/dev/null || true
        WESTON_PID=""
        WaitForEnd "$seconds" || Fail "no end"
        cat "$work/stderr"
        [ "$status" -eq 1 ] || Fail "exit status $status: $(cat "$work/stderr")"
        [ "$(cat "$work/config/kestrin.INI")" = $'[parms]\nSpeed=1\nTone=800\nGap=1' ] ||
            Fail "settings file: $(cat "$work/config/kestrin.INI")"
        WestonStop
        ;;
    resume)
        PulseStart
        Start "env PULSE_SERVER=$PULSE_SERVER"
        RaiseGap
        Send E
        # Paused some 5 s after the last tone.
        WaitCorked yes 10 || Fail "the stream was never paused: $(pactl list sink-inputs)"
        Send "PARIS PARIS"
        WaitCorked no 2 || Fail "the send did not resume the stream"
        kill -TERM "$pid"
        WaitForEnd 1 || Fail "no end"
        ExpectCleanExit
        ExpectGap4
        PulseStop
        ;;
    *) Fail "no such case" ;;
    esac
done
echo "PASS"
