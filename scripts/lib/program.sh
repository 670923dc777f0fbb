# shellcheck shell=bash
# Waiting for the program under test to end, and ending it. Source this file, then:
#   WaitForEnd SECONDS      waits up to SECONDS for the process whose PID is in $pid to end; sets
#                           $status to its exit status and clears $pid; fails, saying so on
#                           stderr, while it still runs
#   StopProcess PID [SIGNAL]
#                           ends PID (with SIGTERM unless told) and reaps it, with SIGKILL when it
#                           still runs 5 s later; never fails, so a clean-up trap under set -e goes
#                           on to its next step; nothing for ""
WaitForEnd()
{
    for _ in $(seq $(($1 * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: still running $1 s after it was asked to end" >&2
        return 1
    fi
    status=0
    wait "$pid" || status=$?
    pid=""
}

StopProcess()
{
    [ -n "$1" ] || return 0
    kill "-${2:-TERM}" "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
