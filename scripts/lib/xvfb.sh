# shellcheck shell=bash
# Shell helpers for running Kestrin on a private X server. Source this file, then:
#   XStart                  starts Xvfb on a free display and exports DISPLAY; sets XVFB_PID
#   WID=$(XWaitWindow NAME [SECONDS])
#                           waits until a visible window whose title is exactly NAME is mapped,
#                           and prints its id; returns non-zero after SECONDS (default 20)
#   XStop                   stops the server by its PID (safe to call twice; use it in a trap)
# The server never listens on TCP and picks a display number no other server uses.

XVFB_PID=""

XStart()
{
    local numfile
    numfile=$(mktemp)
    # Xvfb writes the display number it chose to fd 3 once it accepts connections.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$numfile" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    local num
    num=$(tr -dc '0-9' <"$numfile")
    rm -f "$numfile"
    if [ -z "$num" ]; then
        echo "Xvfb did not start" >&2
        XStop
        return 1
    fi
    export DISPLAY=":$num"
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb on $DISPLAY does not answer" >&2
    XStop
    return 1
}

XWaitWindow()
{
    local name=$1 seconds=${2:-20}
    # Anchored so that "About Kestrin" and the like never match "Kestrin".
    # Polled rather than with --sync, whose search could keep missing a window that a slow start
    # (AddressSanitizer) mapped while the search walked the tree.
    local ids _
    for _ in $(seq $((seconds * 5))); do
        ids=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null) && [ -n "$ids" ] && {
            printf '%s\n' "${ids%%$'\n'*}"
            return 0
        }
        sleep 0.2
    done
    return 1
}

XStop()
{
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}
