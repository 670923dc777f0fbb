#!/usr/bin/env bash
# Builds Kestrin and runs every test: all of them in the dev build, all but most end-to-end ones
# in the asan build, the threaded ones under ThreadSanitizer, and the Windows build's under Wine.
# The end-to-end tests start their own X server and sound server, the Windows ones their own Wine
# prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in dev asan tsan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
    # The end-to-end tests that also run under AddressSanitizer, each on its own servers.
    [ "$preset" != asan ] || ctest --preset asan-e2e
done

# The Windows program, cross-built and tested under Wine, then its installer and .zip.
echo "== windows"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows
(cd build/windows && cpack >/dev/null && ls Kestrin-*-win64.exe Kestrin-*-win64.zip)

# A short bounded run of the profile fuzzer from its committed seeds. libFuzzer exits non-zero on
# a crash, a leak, a broken check, a slow input or runaway memory, and that fails this script.
echo "== fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
run=build/fuzz/run
rm -rf "$run" && mkdir -p "$run/corpus" "$run/artifacts"
if ! build/fuzz/tests/settings/fuzz/settings_profile_fuzz -max_total_time=30 -rss_limit_mb=512 \
    -timeout=5 -artifact_prefix="$run/artifacts/" "$run/corpus" tests/settings/fuzz/corpus \
    >"$run/log" 2>&1; then
    tail -n 40 "$run/log"
    echo "fuzz: failed; the input is in $run/artifacts" >&2
    exit 1
fi
grep -E '^Done [0-9]+ runs' "$run/log"
