#!/usr/bin/env bash
# Builds Kestrin and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target kestrin
exec build/dev/app/kestrin
