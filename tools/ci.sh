#!/usr/bin/env bash
# Everything the project checks: the build and test suite of
# tools/run-tests.sh, a short run of each fuzz target, then the whole suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
# AMBERGALE_FUZZ_SECONDS sets the fuzz time per target (default 10; the
# whole-run target gets twice as long).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --fuzz
source tools/phases.sh

build_and_test

seconds=${AMBERGALE_FUZZ_SECONDS:-10}
phase "fuzz" "each target ${seconds} s, the whole run $((2 * seconds)) s (tools/fuzz.sh)"
tools/fuzz.sh "$seconds" decode_text_fuzzer script_tree_fuzzer render_codes_fuzzer opcodes_fuzzer message_encoder_fuzzer \
  script_offsets_fuzzer rebuilt_tables_fuzzer
tools/fuzz.sh "$((2 * seconds))" whole_run_fuzzer insert_fuzzer
phase_done

phase "sanitizers" "build-sanitize/ (ASan + UBSan, -Werror), then ctest"
cmake --preset sanitize -DAMBERGALE_WERROR=ON >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize
phase_done

summary
