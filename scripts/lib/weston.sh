# shellcheck shell=bash
# Shell helpers for running Kestrin on a private Weston (Wayland) compositor with XWayland. Source
# scripts/lib/xvfb.sh and this file, call XStart, then:
#   WestonStart             starts weston with its desktop shell and XWayland as a window on the
#                           private X server; exports WAYLAND_DISPLAY and XDG_RUNTIME_DIR and sets
#                           WESTON_XDISPLAY to XWayland's display (":N")
#   WestonFocus             gives the compositor's window the X keyboard focus, so that keys typed
#                           with xdotool on $DISPLAY reach the window the compositor has activated
#   WestonLog               prints the compositor's log (protocol requests included)
#   WestonLogged REGEX      whether a line of that log matches REGEX (grep's basic syntax)
#   WestonWaitLogged REGEX [SECONDS]
#                           waits until a line of that log matches REGEX; non-zero after SECONDS
#                           (default 20)
#   WestonStop              stops the compositor by its PID (safe twice; use it in a trap)
# Weston's headless backend has no seat in Weston 10: no key can reach a client there, and its
# XWayland window manager takes the X focus back from any window the seat did not activate. Its X11
# backend turns the private X server's keyboard into the seat, so xdotool types into Wayland.

WESTON_PID="" WESTON_DIR="" WESTON_WINDOW="" WESTON_XDISPLAY=""

WestonStart()
{
    WESTON_DIR=$(mktemp -d /tmp/kestrin-weston.XXXXXX)
    chmod 700 "$WESTON_DIR"
    export XDG_RUNTIME_DIR=$WESTON_DIR WAYLAND_DISPLAY=kestrin-wayland
    # Protocol requests go to the log: the times at which each client's commits reached the
    # compositor.
    weston --backend=x11-backend.so --use-pixman --width=1280 --height=800 --no-config \
        --xwayland --socket="$WAYLAND_DISPLAY" --log="$WESTON_DIR/weston.log" -l log,proto \
        >/dev/null 2>&1 &
    WESTON_PID=$!
    local ids
    ids=$(timeout 20 xdotool search --sync --class '^Weston Compositor$' 2>/dev/null) || {
        echo "weston did not start:" >&2
        WestonLog >&2
        WestonStop
        return 1
    }
    WESTON_WINDOW=${ids%%$'\n'*}
    for _ in $(seq 100); do
        WESTON_XDISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' \
            "$WESTON_DIR/weston.log" | tail -n 1)
        [ -n "$WESTON_XDISPLAY" ] && [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && return 0
        sleep 0.1
    done
    echo "weston started no XWayland:" >&2
    WestonLog >&2
    WestonStop
    return 1
}

WestonFocus()
{
    xdotool windowfocus --sync "$WESTON_WINDOW"
}

WestonLog()
{
    [ -n "$WESTON_DIR" ] && cat "$WESTON_DIR/weston.log" 2>/dev/null
}

WestonLogged()
{
    [ -n "$WESTON_DIR" ] && grep -q -- "$1" "$WESTON_DIR/weston.log" 2>/dev/null
}

WestonWaitLogged()
{
    local seconds=${2:-20}
    for _ in $(seq $((seconds * 10))); do
        WestonLogged "$1" && return 0
        sleep 0.1
    done
    return 1
}

WestonStop()
{
    if [ -n "$WESTON_PID" ]; then
        # Weston ends XWayland and its own shell clients when it ends.
        kill "$WESTON_PID" 2>/dev/null || true
        wait "$WESTON_PID" 2>/dev/null || true
        WESTON_PID=""
    fi
    [ -n "$WESTON_DIR" ] && rm -rf "$WESTON_DIR"
    WESTON_DIR=""
}
