#!/usr/bin/env bash
# Builds Kestrin and runs every test: all of them in the dev and asan builds, the threaded ones
# under ThreadSanitizer. The end-to-end tests start their own X server and sound server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in dev asan tsan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
