#!/usr/bin/env bash
# Runs a test binary on a private Xvfb, started here and stopped by its PID.
#   on_xvfb.sh BINARY [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/xvfb.sh
. "$root/scripts/lib/xvfb.sh"
trap XStop EXIT
XStart
"$@"
