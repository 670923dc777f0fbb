#!/usr/bin/env bash
# Takes a PNG of Kestrin's main window as it first opens, on a private X server with fresh settings,
# and stops everything again. The window alone is captured: there is no window manager, so no frame.
#
# Usage: scripts/screenshot.sh [OUTPUT.png]        (default docs/screenshot.png)
# The program is build/dev/app/kestrin (build it first: cmake --build --preset dev), or the one
# named by KESTRIN_BIN.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=SCRIPTDIR/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"

out=$(realpath -m "${1:-$root/docs/screenshot.png}")
bin=${KESTRIN_BIN:-$root/build/dev/app/kestrin}
[ -x "$bin" ] || {
    echo "no program at $bin: build it with 'cmake --preset dev && cmake --build --preset dev'" >&2
    exit 1
}
for tool in Xvfb xdpyinfo xdotool import; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: run scripts/setup.sh" >&2
        exit 1
    }
done

work=$(mktemp -d)
app_pid=""
Cleanup()
{
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
trap 'exit 1' INT TERM HUP

XStart
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
# Fresh settings, so the picture shows the defaults and no settings file of the user is touched.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" "$bin" >/dev/null 2>&1 &
app_pid=$!
wid=$(XWaitWindow Kestrin 20) || {
    echo "no window named Kestrin within 20 s" >&2
    exit 1
}
# Mapped is not yet painted: give the first paint a moment.
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window "$wid" "$out"
echo "$out"
