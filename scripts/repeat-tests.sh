#!/usr/bin/env bash
# Runs the whole suite again and again while a CPU hog keeps every core busy,
# to show that no test passes or fails by chance.
#   scripts/repeat-tests.sh [--reuse-builds] [RUNS]      (default 20)
# Builds every flavour once through scripts/test.sh (or, with --reuse-builds,
# takes the builds a finished scripts/test.sh left), then repeats the test
# runs of each flavour (plain, AddressSanitizer, ThreadSanitizer, Windows
# under Wine, the end-to-end tests in the guest with a kernel USB stack)
# without building again. Stops at the first failing run and
# prints the number of runs that passed and the longest run.
set -euo pipefail
cd "$(dirname "$0")/.."

reuse_builds=false
if [[ ${1:-} == --reuse-builds ]]; then
  reuse_builds=true
  shift
fi
runs=${1:-20}
jobs=$(nproc)
log_dir=$(mktemp -d "${TMPDIR:-/tmp}/tessel-repeat.XXXXXX")

hogs=()
stop_hogs() {
  ((${#hogs[@]})) && kill "${hogs[@]}" 2>/dev/null || true
}
trap stop_hogs EXIT

if ! $reuse_builds; then
  scripts/test.sh >"$log_dir/build.log" 2>&1 || {
    echo "repeat: the first full run failed; see $log_dir/build.log" >&2
    exit 1
  }
fi

for _ in $(seq "$jobs"); do
  (while :; do :; done) &
  hogs+=($!)
done

run_suite() {
  export QT_QPA_PLATFORM=offscreen
  (cd build && ctest --output-on-failure -j"$jobs" --timeout 600) &&
    (cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 900) &&
    (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
      ctest --output-on-failure -j"$jobs" --timeout 900) &&
    scripts/test-windows.sh &&
    scripts/test-gadget.sh
}

longest=0
for run in $(seq "$runs"); do
  start=$(date +%s)
  if ! run_suite >"$log_dir/run-$run.log" 2>&1; then
    echo "repeat: run $run failed under load; see $log_dir/run-$run.log" >&2
    echo "repeat: $((run - 1)) runs passed, longest ${longest} s"
    exit 1
  fi
  took=$(($(date +%s) - start))
  ((took > longest)) && longest=$took
  echo "repeat: run $run passed in ${took} s"
done
echo "repeat: $runs runs passed with every core busy, longest ${longest} s"
