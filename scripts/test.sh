#!/usr/bin/env bash
# Installs what is needed, builds every flavour and runs every test.
# Exits non-zero as soon as any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== formatting"
scripts/check-format.sh

echo "== plain build: all tests"
scripts/build.sh plain
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

echo "== AddressSanitizer + UBSan: all tests"
scripts/build.sh asan
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 900)

echo "== ThreadSanitizer: every test without Qt"
scripts/build.sh tsan
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j"$jobs" --timeout 900)

if [[ -x scripts/test-windows.sh ]]; then
  echo "== Windows build under Wine"
  scripts/test-windows.sh
fi
echo "== Debian packages"
scripts/test-packages.sh
echo "== fuzzing"
scripts/fuzz.sh
scripts/test-gadget.sh
echo "all test suites passed"
