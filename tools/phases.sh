# Sourced by the test scripts: a start line for each phase, and at the end
# one line per phase with its time. A failing phase ends the script (set -e)
# with its own summary line.
phase_names=()
phase_times=()
phase_name=""

phase() {
  phase_name=$1
  phase_start=$SECONDS
  echo "==> $1: $2"
}

phase_done() {
  phase_names+=("$phase_name")
  phase_times+=($((SECONDS - phase_start)))
  phase_name=""
}

summary() {
  echo
  local i
  for i in "${!phase_names[@]}"; do
    printf '%-16s passed in %4d s\n' "${phase_names[$i]}" "${phase_times[$i]}"
  done
}

on_exit() {
  local status=$?
  if [ -n "$phase_name" ]; then
    summary
    printf '%-16s FAILED after %d s\n' "$phase_name" $((SECONDS - phase_start))
  fi
  exit $status
}
trap on_exit EXIT

# The one configuration of build/ that the demo and the test scripts share,
# so that each file is compiled once whichever runs first.
configure_build() {
  cmake --preset default -DAMBERGALE_WERROR=ON >/dev/null
}

# The phase both test scripts start with: the Release build with warnings as
# errors, and every test.
build_and_test() {
  phase "build and test" "build/ (Release, -Werror), then ctest"
  configure_build
  cmake --build --preset default
  ctest --preset default
  phase_done
}
