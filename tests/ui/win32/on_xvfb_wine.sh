#!/usr/bin/env bash
# Runs a Windows test program that opens windows: on_xvfb_wine.sh PREFIX PROGRAM [ARGS...]. Starts
# a private Xvfb, runs the program under Wine in a prefix of its own (scripts/wine-run.sh), then
# ends that prefix's server, which holds the display, and the Xvfb. The program's status is this
# script's.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/xvfb.sh
source "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"

XStart || exit 1
stop() {
    WineStop
    XStop
}
trap stop EXIT
WineStart "$1" || exit 1
shift
Wine "$@"
