#!/usr/bin/env bash
# Runs a Windows test program that needs an output device under Wine, with a private PulseAudio
# null sink as Wine's device: wasapi_tests.sh PROGRAM-AND-EMULATOR... Starts and stops its own
# server by PID.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
trap PulseStop EXIT
# A server that does not start is the machine's fault: it gets a second try. The tests run once.
PulseStart || { PulseStop; PulseStart; }
"$@"
