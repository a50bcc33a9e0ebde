#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the normal build, a short
# run of each fuzz target, then the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=2

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DAMBERGALE_TESTS=ON >/dev/null
cmake --build build --parallel "$jobs"
ctest --test-dir build --output-on-failure

# A short run of every fuzz target (a smoke test; tools/fuzz.sh runs longer).
tools/fuzz.sh "${AMBERGALE_FUZZ_SECONDS:-10}"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBERGALE_TESTS=ON -DAMBERGALE_SANITIZE=ON >/dev/null
cmake --build build-sanitize --parallel "$jobs"
ctest --test-dir build-sanitize --output-on-failure
