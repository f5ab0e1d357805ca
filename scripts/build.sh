#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh [plain|asan|tsan] [ninja targets...]
# The plain build is the one the Debian packages are made from, for /usr.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-plain}
shift || true
case "$flavour" in
  plain) dir=build args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr) ;;
  asan) dir=build-asan args=(-DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=address) ;;
  tsan) dir=build-tsan args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=thread -DTESSEL_GUI=OFF) ;;
  *) echo "usage: $0 [plain|asan|tsan] [targets...]" >&2; exit 2 ;;
esac

# Warnings are errors in every build this script makes; ccache, when present,
# lets the flavours and work trees share unchanged objects.
args+=(-DTESSEL_WERROR=ON)
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -- "$@"
