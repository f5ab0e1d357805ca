#!/usr/bin/env bash
# Installs what is needed, builds the monitor and the virtual adapter, starts
# the adapter with demo traffic on two separate buses and then the monitor.
# The adapter is stopped when the monitor exits.
set -euo pipefail
cd "$(dirname "$0")/.."

TESSEL_WINDOWS=0 scripts/setup.sh
scripts/build.sh plain tessel ulmar-emu

# The monitor has no options of its own; the library finds the virtual adapter
# through ULMAR_DEVICE_DIR, which both processes inherit.
ULMAR_DEVICE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tessel-demo.XXXXXX")
export ULMAR_DEVICE_DIR
emu_pid=
cleanup() {
  if [[ -n "$emu_pid" ]]; then
    kill -TERM "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
  fi
  rm -rf "$ULMAR_DEVICE_DIR"
}
trap cleanup EXIT

build/emulator/ulmar-emu --name demo --demo --separate-buses &
emu_pid=$!
for _ in $(seq 100); do
  [[ -e "$ULMAR_DEVICE_DIR/demo.adapter" ]] && break
  kill -0 "$emu_pid" 2>/dev/null || { echo "demo: the virtual adapter did not start" >&2; exit 1; }
  sleep 0.1
done
[[ -e "$ULMAR_DEVICE_DIR/demo.adapter" ]] || { echo "demo: the virtual adapter did not publish itself" >&2; exit 1; }

echo "demo: virtual adapter running; open a channel in the monitor to see its traffic"
build/monitor/app/tessel
