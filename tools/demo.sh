#!/usr/bin/env bash
# Builds both tools, their man pages and the sample builder, makes the sample
# cartridge in sample/, dumps it there, shows the first lines of each dump in
# UTF-8, and ends with one line per phase and its time.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
source tools/phases.sh
phase "build" "both tools, their man pages and the sample builder in build/ (tools/run-tests.sh builds the rest there)"
configure_build
cmake --build --preset default --target ambergale-dump ambergale-insert man-pages make-sample
phase_done
phase "dump" "the sample cartridge made in sample/ and dumped there"
build/tools/make-sample sample
(cd sample && ../build/ambergale-dump)
echo "Dumped sample/Ambergale.smc:"
for name in wordlist.txt wordlist2.txt sublist.txt messcript.txt; do
  printf '  %-14s %9d bytes %7d lines\n' "$name" "$(stat -c %s "sample/$name")" "$(wc -l < "sample/$name")"
done
for name in wordlist.txt wordlist2.txt sublist.txt messcript.txt; do
  echo
  echo "== sample/$name (first lines, Shift-JIS shown as UTF-8) =="
  head -n 8 "sample/$name" | iconv -f CP932 -t UTF-8 | tr -d '\r'
done
phase_done
echo
echo "The tools are build/ambergale-dump and build/ambergale-insert; cmake --install build puts both on PATH, with their man pages."
summary
