#!/usr/bin/env bash
# The program as a screen reader sees it: on a private Xvfb, PulseAudio and session bus with
# AT-SPI, starts kestrin with fresh settings and runs atspi_read.py against its window (which also
# sends "SOS" twice through the accessible Go action); then presses Escape and checks that the
# program ends with status 0 and printed nothing.
#   atspi_e2e.sh PATH/TO/kestrin
set -euo pipefail
kestrin=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../scripts/lib/program.sh
. "$root/scripts/lib/program.sh"
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
# shellcheck source=../../scripts/lib/atspi.sh
. "$root/scripts/lib/atspi.sh"

work=$(mktemp -d /tmp/kestrin-e2e.XXXXXX)
pid=""
Cleanup()
{
    StopProcess "$pid"
    AtspiStop
    PulseStop
    XStop
    rm -rf "$work"
}
trap Cleanup EXIT
Fail() { echo "FAIL: $*" >&2; exit 1; }

XStart
PulseStart
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
AtspiStart
env -u SDL_AUDIODRIVER -u QT_QPA_PLATFORM -u QT_LINUX_ACCESSIBILITY_ALWAYS_ON \
    XDG_CONFIG_HOME="$work/config" "$kestrin" >"$work/stdout" 2>"$work/stderr" &
pid=$!
wid=$(XWaitWindow Kestrin 20) || Fail "no window named Kestrin"

/usr/bin/python3 "$here/atspi_read.py" || Fail "over AT-SPI; the program printed: $(cat "$work/stderr")"

xdotool windowfocus --sync "$wid"
xdotool key Escape
WaitForEnd 10 || exit 1
[ "$status" -eq 0 ] || Fail "exit status $status"
[ ! -s "$work/stderr" ] || Fail "printed on stderr: $(cat "$work/stderr")"
echo "PASS"
