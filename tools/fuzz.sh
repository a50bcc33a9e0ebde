#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for SECONDS
# (default 60), starting from its committed corpus. New inputs collect in
# build-fuzz/corpus, reports in build-fuzz/logs.
# Usage: tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(decode_text_fuzzer script_tree_fuzzer render_codes_fuzzer opcodes_fuzzer message_encoder_fuzzer whole_run_fuzzer insert_fuzzer
  script_offsets_fuzzer rebuilt_tables_fuzzer)
tools/setup.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}" >/dev/null
root=$PWD
mkdir -p "$root/build-fuzz/logs"
for target in "${targets[@]}"; do
  work="$root/build-fuzz/corpus/$target"
  log="$root/build-fuzz/logs/$target.log"
  mkdir -p "$work"
  # -len_control=0: inputs may be as long as -max_len (4096) from the start;
  # the byte-tree target needs 1536 bytes for its two trees.
  if ! "$root/build-fuzz/fuzz/$target" -max_total_time="$seconds" -len_control=0 \
      -artifact_prefix="$root/build-fuzz/logs/$target-" "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    echo "$target: FAILED, see $log"
    tail -n 30 "$log"
    exit 1
  fi
  echo "$target: $(grep -a -E '^#[0-9]+' "$log" | tail -n 1)"
done
