#!/usr/bin/env bash
# The Windows installer under Wine: installer_e2e.sh BUILD_DIR PREFIX. Makes the installer with
# CPack, installs it silently in a fresh private prefix on a private Xvfb (both stopped at the
# end), checks the program, its help, the Start-menu shortcut and the uninstall entry, runs the
# installed program and ends it with Escape, then uninstalls it silently.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/xvfb.sh
source "$root/scripts/lib/xvfb.sh"
build=$(realpath "$1")
WINEPREFIX=$(realpath -m "$2")
export WINEPREFIX
work=$(mktemp -d)
stop() {
    /usr/lib/wine/wineserver -k 2>/dev/null
    XStop
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
run() { "$root/scripts/wine-run.sh" "$WINEPREFIX" "$@" </dev/null; }

(cd "$work" && cpack -G NSIS --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
    fail "cpack: $(tail -5 "$work/cpack.log")"
installer=$(ls "$work"/Kestrin-*-win64.exe) || fail "no installer made"
rm -rf "$WINEPREFIX"
XStart || exit 1
run cmd /c exit >/dev/null 2>&1
# No sound device here: Wine's own ALSA code would say so on stderr (see program_e2e.sh).
run reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1

run "$installer" /S || fail "the installer failed"
dir="$WINEPREFIX/drive_c/Program Files/Kestrin"
[ -f "$dir/kestrin.exe" ] && [ -f "$dir/kestrin.html" ] || fail "nothing in $dir"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestrin"
[ -f "$menu/Kestrin.lnk" ] || fail "no Start-menu shortcut"
run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrin' >/dev/null 2>&1 ||
    fail "no uninstall entry"

run "$dir/kestrin.exe" 2>"$work/stderr" &
pid=$!
wid=$(XWaitWindow Kestrin 30) || fail "the installed program did not open its window"
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key Escape
wait "$pid" || fail "the installed program ended with status $?"
[ ! -s "$work/stderr" ] || fail "stderr: $(cat "$work/stderr")"

run "$dir/Uninstall.exe" /S || fail "the uninstaller failed"
# The uninstaller copies itself away and finishes after wine returns (0.5 s at rest).
for _ in $(seq 100); do
    [ -e "$dir/kestrin.exe" ] || [ -e "$menu/Kestrin.lnk" ] || break
    sleep 0.1
done
[ ! -e "$dir/kestrin.exe" ] || fail "the program is still installed"
[ ! -e "$menu/Kestrin.lnk" ] || fail "the shortcut is still there"
echo "installed, ran and uninstalled"
