#!/usr/bin/env bash
# Builds the tool in Release, makes the sample cartridge and a worst-case
# one (random data under the sample's script tree: word lists that decode to
# their caps) in build/bench/, and times the whole run as a process against
# the floor, alternated; then times the insert of the sample's dumps,
# unchanged and with every word-list and dictionary line changed, against
# one dump run, and of the sample with jumps whose every script message
# grew, against a dump of it, and of its synthetic translations at 1.5 and
# 2.0 times with the tables rebuilt. Usage: tools/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target ambergale-dump ambergale-insert make-sample bench_dump bench_insert bench_floor \
  bench_measure >/dev/null
build/tools/make-sample build/bench/sample
build/tools/make-sample --worst-case build/bench/worst-case
build/tools/make-sample --jumps --translate 2.0 build/bench/jumps
mv build/bench/jumps/en.po build/bench/jumps/en-2.0.po
build/tools/make-sample --jumps --translate 1.5 build/bench/jumps
build/bench/bench_dump build/bench/bench_measure build/ambergale-dump build/bench/bench_floor "${1:-15}" build/bench/sample build/bench/worst-case
build/bench/bench_insert build/bench/bench_measure build/ambergale-dump build/ambergale-insert "${1:-15}" build/bench/sample \
  build/bench/jumps
