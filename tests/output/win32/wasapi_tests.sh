#!/usr/bin/env bash
# Runs a Windows test program that needs an output device under Wine, with a private PulseAudio
# null sink as Wine's device: wasapi_tests.sh [none] PROGRAM-AND-EMULATOR... Starts and stops its
# own server by PID. With "none", Wine finds no device: no server answers, and ALSA has no
# configuration to name one.
set -euo pipefail
if [ "${1:-}" = none ]; then
    shift
    export PULSE_SERVER=unix:/nonexistent ALSA_CONFIG_PATH=/dev/null
    exec "$@"
fi
root=$(cd "$(dirname "$0")/../../.." && pwd)
# shellcheck source=../../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
trap PulseStop EXIT
# A server that does not start is the machine's fault: it gets a second try. The tests run once.
PulseStart || { PulseStop; PulseStart; }
"$@"
