#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each for a
# bounded time on its seed corpus in fuzz/corpus/<target>/, printing the
# executions per target. Exits non-zero when a target finds a crash, a leak
# or a sanitizer report.
#   scripts/fuzz.sh [seconds per target]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_FUZZ=ON -DTESSEL_GUI=OFF -DTESSEL_WERROR=ON
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja "${args[@]}" >/dev/null
echo "== fuzz targets, ${seconds} s each"
cmake --build build-fuzz --target fuzzers

# New inputs go to a scratch copy, so the committed corpora stay small.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
while read -r target; do
  [[ -n $target ]] || continue
  mkdir -p "$work/$target"
  cp -r "fuzz/corpus/$target/." "$work/$target/" 2>/dev/null || true
  log="$work/$target.log"
  if build-fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$work/$target-" "$work/$target" >"$log" 2>&1; then
    runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || echo "?")
    echo "fuzz $target: $runs executions in ${seconds}s, clean"
  else
    echo "fuzz $target: FAILED" >&2
    tail -40 "$log" >&2
    ls "$work/$target-"* >&2 2>/dev/null || true
    status=1
  fi
done <build-fuzz/fuzzers.txt
exit $status
