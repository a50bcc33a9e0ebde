#!/usr/bin/env bash
# Installs, with apt-get, what building and testing need and the machine
# lacks (Debian):
#   cmake, g++, make   to build the tool
#   zlib1g-dev         crc32, for the inserter's BPS patches
#   libgettextpo-dev   gettext's PO library, for the translation catalogue
#   gettext            msgfmt, msgcat and msgmerge, which the tests run on it
#   libgtest-dev       the test suite (GoogleTest)
#   help2man           the man pages, made from the programs' --help
#   man-db             man, with which the tests render those pages
# and with --fuzz, for the fuzz runs only:
#   clang and its libFuzzer/sanitizer runtime (libclang-rt-N-dev, N being
#   clang's major version)
# Installing needs root: it runs apt-get directly as root, through sudo
# otherwise, and stops with a message when neither is possible.
# Usage: tools/setup.sh [--fuzz]
set -euo pipefail

missing() {
  local package
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || echo "$package"
  done
}

install() {
  [ $# -gt 0 ] || return 0
  local runner=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      runner=(sudo)
    else
      echo "setup: installing $* needs root; run this as root or install sudo" >&2
      exit 1
    fi
  fi
  echo "setup: installing $* with apt-get"
  "${runner[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${runner[@]}" apt-get install -y -qq "$@" >/dev/null
}

install $(missing cmake g++ make zlib1g-dev libgettextpo-dev gettext libgtest-dev help2man man-db)

if [ "${1:-}" = "--fuzz" ]; then
  install $(missing clang)
  major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
  # Debian ships the fuzzer runtime apart from clang since version 14.
  if apt-cache show "libclang-rt-$major-dev" >/dev/null 2>&1; then
    install $(missing "libclang-rt-$major-dev")
  fi
fi
