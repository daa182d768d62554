#!/usr/bin/env bash
# Builds and runs every test twice: in the default build (window included) and
# in the AddressSanitizer / UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The window tests run without a display.
export QT_QPA_PLATFORM=offscreen

for preset in default asan; do
    echo "run-tests: === $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset" --output-on-failure -j2
done

# Every fuzz target for a bounded time, two at a time (TREVANIX_FUZZ_SECONDS
# per target, default 60; 0 skips): any crash, leak, hang or sanitizer report
# fails the run.
bash scripts/run-fuzz.sh "${TREVANIX_FUZZ_SECONDS:-60}" 2
