#!/usr/bin/env bash
# Installs what building and testing need, where it is missing (Debian).
set -euo pipefail
missing=()
for package in cmake g++ make libgtest-dev clang libclang-rt-14-dev; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
