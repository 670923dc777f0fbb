# shellcheck shell=bash
# Shell helpers for a test's private Wine prefix. Source this file, then:
#   WineStart PREFIX [DRIVER]
#                           exports WINEPREFIX (made absolute), boots the prefix unless booted
#                           already (scripts/wine-run.sh, about 15 s) and sets Wine's audio
#                           driver: none by default, as on a machine without a sound device, so
#                           that Wine's own ALSA code says nothing on stderr; "alsa" reaches a
#                           PulseAudio server through ALSA's pulse plugin
#   Wine PROGRAM [ARGS...]  runs a Windows program in the prefix; its status is the program's
#   WineStop                ends the prefix's server and every program in it (safe twice; use it
#                           in a trap)

WINE_LIB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

WineStart()
{
    WINEPREFIX=$(realpath -m "$1")
    export WINEPREFIX
    Wine cmd /c exit </dev/null >/dev/null 2>&1 || { echo "Wine did not start" >&2; return 1; }
    Wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "${2:-}" /f </dev/null >/dev/null 2>&1
}

Wine()
{
    "$WINE_LIB_ROOT/scripts/wine-run.sh" "$WINEPREFIX" "$@"
}

WineStop()
{
    [ -z "${WINEPREFIX:-}" ] || /usr/lib/wine/wineserver -k 2>/dev/null || true
}
