#!/usr/bin/env bash
# Installs what is needed, builds every flavour and runs every test.
# Exits non-zero as soon as any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)

echo "== plain build: all tests"
scripts/build.sh plain
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout 300)

echo "== AddressSanitizer + UBSan: unit tests"
scripts/build.sh asan
(cd build-asan && ctest --output-on-failure -j"$jobs" -L unit --timeout 300)

echo "== ThreadSanitizer: threaded tests"
scripts/build.sh tsan
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j"$jobs" -L threaded --timeout 600)

if [[ -x scripts/test-windows.sh ]]; then
  echo "== Windows build under Wine"
  scripts/test-windows.sh
fi
scripts/test-gadget.sh
echo "all test suites passed"
