#!/usr/bin/env bash
# Builds the tool and every test (warnings as errors) and runs the suite:
# the newcomer's verdict in a few minutes. tools/ci.sh adds the fuzz runs
# and the sanitizer suite.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
source tools/phases.sh

build_and_test

summary
