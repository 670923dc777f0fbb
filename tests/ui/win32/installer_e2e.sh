#!/usr/bin/env bash
# The Windows installer under Wine: installer_e2e.sh BUILD_DIR PREFIX. Makes the installer with
# CPack and checks that it asks for no elevation, installs it silently twice (the second over the
# first) in a fresh private prefix on a private Xvfb (both stopped at the end), checks the program,
# its help, the shortcut in the user's Start menu and the user's uninstall entry, runs the
# installed program and ends it with Escape, then uninstalls it silently and checks all are gone.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/xvfb.sh
source "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
build=$(realpath "$1")
prefix=$(realpath -m "$2")
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
run() { Wine "$@" </dev/null; }

(cd "$work" && cpack -G NSIS --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
    fail "cpack: $(tail -5 "$work/cpack.log")"
installer=$(ls "$work"/Kestrin-*-win64.exe) || fail "no installer made"
# The manifest makensis embeds says whether Windows must elevate the installer.
grep -aq 'requestedExecutionLevel level="asInvoker"' "$installer" ||
    fail "the installer asks for elevation"
# A fresh prefix, with no sound device.
rm -rf "$prefix"
XStart || exit 1
WineStart "$prefix" || fail "no Wine prefix"

user=${USER:-$(id -un)}
dir="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Kestrin"
menu="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrin'
run "$installer" /S || fail "the installer failed"
# Again over the first: it removes the old files with the old uninstaller and copies the new ones.
run "$installer" /S || fail "the installer failed over an installed Kestrin"
[ -f "$dir/kestrin.exe" ] && [ -f "$dir/kestrin.html" ] || fail "nothing in $dir"
[ -f "$menu/Kestrin.lnk" ] || fail "no Start-menu shortcut"
location=$(run reg query "$key" /v InstallLocation 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ *//p')
[ "$location" = "C:\\users\\$user\\AppData\\Local\\Programs\\Kestrin" ] ||
    fail "the uninstall entry's InstallLocation is '$location'"

run "$dir/kestrin.exe" 2>"$work/stderr" &
pid=$!
wid=$(XWaitWindow Kestrin 30) || fail "the installed program did not open its window"
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key Escape
wait "$pid" || fail "the installed program ended with status $?"
[ ! -s "$work/stderr" ] || fail "stderr: $(cat "$work/stderr")"

run "$dir/Uninstall.exe" /S || fail "the uninstaller failed"
# The uninstaller copies itself away and finishes after wine returns (0.5 s at rest); the
# uninstall entry goes last.
for _ in $(seq 100); do
    [ -e "$dir" ] || [ -e "$menu/Kestrin.lnk" ] || run reg query "$key" >/dev/null 2>&1 || break
    sleep 0.1
done
[ ! -e "$dir" ] || fail "the program's folder is still there"
[ ! -e "$menu/Kestrin.lnk" ] || fail "the shortcut is still there"
! run reg query "$key" >/dev/null 2>&1 || fail "the uninstall entry is still there"
echo "installed, reinstalled, ran and uninstalled"
