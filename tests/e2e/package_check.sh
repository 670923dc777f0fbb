#!/usr/bin/env bash
# Builds the Debian package from a configured build directory, runs lintian on it, and checks the
# desktop entry, metadata, icons, help and manual page in it, unpacked into a temporary folder:
# nothing on this machine changes.
#
# With "install" it then also installs the package on this machine, starts /usr/bin/kestrin on a
# private X server, waits for its window "Kestrin", closes it with Escape (it must end with status
# 0 and print nothing), and removes the package again, also when a step fails. That changes the
# machine, so it runs only when KESTRIN_TEST_INSTALL=1 is set (ideally in a throwaway container).
# The package kestrin is the only one it ever installs or removes: it stops before installing when
# the package would pull in anything else, or when kestrin is already installed.
#
# Usage: package_check.sh BUILD_DIR [install]
#   exit 77: skipped (not a Debian system; for "install": not asked for, or not root)
set -euo pipefail

build=${1:?usage: package_check.sh BUILD_DIR [install]}
install=0
[ "${2:-}" = install ] && install=1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../../scripts/lib/xvfb.sh
. "$here/../../scripts/lib/xvfb.sh"

Skip()
{
    echo "SKIP: $*"
    exit 77
}
Fail()
{
    echo "FAIL: $*" >&2
    exit 1
}
Step() { echo "== $(date +%T.%3N) $*"; }

if ! command -v dpkg >/dev/null || ! command -v apt-get >/dev/null; then
    Skip "not a Debian system"
fi
sudo=""
if [ "$install" -eq 1 ]; then
    [ "${KESTRIN_TEST_INSTALL:-0}" = 1 ] ||
        Skip "installs the package on this machine; run with KESTRIN_TEST_INSTALL=1 to allow it"
    if [ "$(id -u)" -ne 0 ]; then
        sudo -n true 2>/dev/null || Skip "installing a package needs root or password-less sudo"
        sudo="sudo"
    fi
fi
tools=(cpack dpkg-deb lintian desktop-file-validate appstreamcli man)
[ "$install" -eq 1 ] && tools+=(Xvfb xdpyinfo xdotool)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || Fail "$tool is missing: run scripts/setup.sh"
done
[ -f "$build/CPackConfig.cmake" ] || Fail "$build is not a configured build directory"

if [ "$install" -eq 1 ]; then
    status=$(dpkg-query -W -f='${db:Status-Status}' kestrin 2>/dev/null || true)
    case "$status" in
    "" | not-installed | config-files) ;;
    *) Fail "a kestrin package is already on this machine ($status); remove it first: apt-get remove kestrin" ;;
    esac
fi

work=$(mktemp -d)
chmod 755 "$work" # apt reads the package as its own unprivileged user
installed=0
app_pid=""
Cleanup()
{
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    XStop
    if [ "$installed" -eq 1 ]; then
        echo "== removing kestrin"
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=300 \
            kestrin >/dev/null 2>&1 || $sudo dpkg -r kestrin >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap Cleanup EXIT
trap 'exit 1' INT TERM HUP

Step "building the package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; Fail "cpack failed"; }
debs=("$work"/pkg/kestrin_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    Fail "cpack made no single kestrin_*.deb"
fi
deb=${debs[0]}
chmod 644 "$deb"
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

# Debian's own checks of a package; lintian prints nothing for a clean one.
Step "lintian"
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; Fail "lintian found faults"; }
grep -v '^running with root privileges' "$work/lintian.log" || true

Step "checking the files in the package"
root=$work/root
dpkg-deb -x "$deb" "$root"
desktop=$(find "$root/usr/share/applications" -name '*.desktop' -printf 'usr/share/applications/%f\n' \
    2>/dev/null || true)
[ "$(echo "$desktop" | grep -c .)" -eq 1 ] || Fail "expected one desktop entry, found: $desktop"
app_id=$(basename "$desktop" .desktop)
echo "application id: $app_id"
metainfo=usr/share/metainfo/$app_id.metainfo.xml
files=(usr/bin/kestrin usr/share/kestrin/kestrin.html "$metainfo" usr/share/man/man1/kestrin.1.gz
    "usr/share/icons/hicolor/16x16/apps/$app_id.png" "usr/share/icons/hicolor/32x32/apps/$app_id.png"
    "usr/share/icons/hicolor/scalable/apps/$app_id.svg")
for f in "${files[@]}"; do
    [ -s "$root/$f" ] || Fail "the package lacks /$f"
done
grep -qx "Icon=$app_id" "$root/$desktop" || Fail "the desktop entry does not name the icon $app_id"
grep -qx 'Exec=kestrin' "$root/$desktop" || Fail "the desktop entry does not start kestrin"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$root/$metainfo" ||
    Fail "the metadata does not launch $app_id.desktop"
grep -q "<id>$app_id</id>" "$root/$metainfo" || Fail "the metadata id is not $app_id"
Step "desktop-file-validate /$desktop"
desktop-file-validate "$root/$desktop" || Fail "desktop-file-validate"
Step "appstreamcli validate --no-net /$metainfo"
appstreamcli validate --no-net "$root/$metainfo" || Fail "appstreamcli validate"
# The page must render without a complaint from groff, and say what it is for.
page=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/kestrin.1.gz" 2>"$work/man.log") ||
    { cat "$work/man.log"; Fail "man could not show the manual page"; }
[ ! -s "$work/man.log" ] || { cat "$work/man.log"; Fail "the manual page has faults"; }
for section in NAME SYNOPSIS DESCRIPTION FILES ENVIRONMENT "EXIT STATUS"; do
    grep -qx "$section" <<<"$page" || Fail "the manual page has no $section section"
done

if [ "$install" -eq 0 ]; then
    echo "package check passed (not installed: see package_install)"
    exit 0
fi

Step "checking that installing it touches no other package"
apt=(apt-get -o DPkg::Lock::Timeout=300)
plan=$($sudo "${apt[@]}" install -s --no-install-recommends "$deb" 2>&1) ||
    { echo "$plan"; Fail "apt cannot install the package"; }
others=$(echo "$plan" | awk '$1 == "Inst" || $1 == "Remv" || $1 == "Purg" { print $1, $2 }' |
    grep -vx 'Inst kestrin' || true)
[ -z "$others" ] || Fail "installing would also change: $(echo "$others" | tr '\n' ' ')(run scripts/setup.sh)"

Step "installing"
installed=1
$sudo env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq --no-install-recommends \
    "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; Fail "apt-get install failed"; }
listed=$(dpkg -L kestrin)
for f in "${files[@]}"; do
    echo "$listed" | grep -qx "/$f" || Fail "dpkg does not list /$f"
done
# The program looks for its help in ../share/kestrin/ from its own folder.
[ -f /usr/bin/../share/kestrin/kestrin.html ] || Fail "help file not where the program looks"
desktop=/$desktop

Step "starting /usr/bin/kestrin on a private X server"
XStart || Fail "no X server"
mkdir -p "$work/home" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u SESSION_MANAGER HOME="$work/home" \
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    /usr/bin/kestrin >"$work/stdout" 2>"$work/stderr" &
app_pid=$!
wid=$(XWaitWindow Kestrin 20) || Fail "no window named Kestrin within 20 s"
kill -0 "$app_pid" 2>/dev/null || Fail "kestrin ended after showing its window"
echo "window $wid: $(xdotool getwindowgeometry "$wid" | sed -n 's/ *Geometry: //p')"

Step "closing it with Escape"
timeout 10 xdotool windowfocus --sync "$wid" || Fail "could not focus the window"
xdotool key Escape
ended=0
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || {
        ended=1
        break
    }
    sleep 0.1
done
[ "$ended" -eq 1 ] || Fail "the window did not close on Escape within 5 s"
rc=0
wait "$app_pid" || rc=$?
app_pid=""
[ "$rc" -eq 0 ] || Fail "kestrin ended with status $rc"
echo "ended with status 0"
if [ -s "$work/stderr" ]; then
    cat "$work/stderr" >&2
    Fail "kestrin wrote to stderr"
fi
XStop

Step "removing the package"
$sudo env DEBIAN_FRONTEND=noninteractive "${apt[@]}" remove -y -qq kestrin >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; Fail "apt-get remove failed"; }
installed=0
if [ -e /usr/bin/kestrin ] || [ -e "$desktop" ]; then
    Fail "files left after removing the package"
fi

echo "package check passed"
