#!/usr/bin/env bash
# Builds the tool and every test (warnings as errors) and runs the suite:
# the newcomer's verdict in a few minutes. tools/ci.sh adds the fuzz runs
# and the sanitizer suite.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
source tools/phases.sh

phase "build and test" "build/ (Release, -Werror), then ctest"
cmake --preset default -DAMBERGALE_WERROR=ON >/dev/null
cmake --build --preset default
ctest --preset default
phase_done

summary
