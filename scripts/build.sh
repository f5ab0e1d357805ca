#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh [plain|asan|tsan] [ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-plain}
shift || true
case "$flavour" in
  plain) dir=build args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir=build-asan args=(-DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=address -DTESSEL_GUI=OFF) ;;
  tsan) dir=build-tsan args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=thread -DTESSEL_GUI=OFF) ;;
  *) echo "usage: $0 [plain|asan|tsan] [targets...]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -- "$@"
