#!/usr/bin/env bash
# Installs what is needed, builds, and starts a virtual adapter with live demo traffic.
set -euo pipefail
cd "$(dirname "$0")/.."

TESSEL_WINDOWS=0 scripts/setup.sh
scripts/build.sh plain ulmar-emu
exec build/emulator/ulmar-emu --name demo --demo --verbose
