#!/usr/bin/env bash
# Builds the tool in Release, makes the sample cartridge in build/bench-sample,
# and times the whole run against the floor of reading the image and writing
# the same bytes. Usage: tools/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target ambergale-dump make-sample bench_dump >/dev/null
build/tools/make-sample build/bench-sample
build/bench/bench_dump build/bench-sample build/ambergale-dump "${1:-15}"
