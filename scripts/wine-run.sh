#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: wine-run.sh PREFIX PROGRAM [ARGS...].
# The first call boots the prefix (about 15 s) and every call finds a wineserver already running
# (started persistent, so that a program's end does not wait for Wine's background processes);
# it ends by itself a minute after the last program, or at once with `wineserver -k`. The
# program's exit status is this script's.
set -euo pipefail
prefix=$(realpath -m "$1")
shift

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No add-on installer may ask for .NET or Gecko.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
PATH=$PATH:/usr/lib/wine
wine=$(command -v wine64 || command -v wine)

mkdir -p "$prefix"
{
    flock 9
    # Starts the prefix's server, or fails at once because it runs already. It must not hold this
    # program's output open, or whoever reads that output would wait for the server to end.
    if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
        # A new server: the first program starts Wine's system processes, which live as long as
        # the server and would hold that program's output open. Let a program of ours start them.
        "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
    fi
    if [ ! -e "$prefix/.kestrin-booted" ]; then
        "$wine" wineboot -u </dev/null >"$prefix.boot.log" 2>&1 9>&-
        # Without a window manager Wine would take 2 s to close each window.
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >>"$prefix.boot.log" 2>&1 9>&-
        : >"$prefix/.kestrin-booted"
    fi
} 9>"$prefix.lock"
exec "$wine" "$@"
