#!/usr/bin/env bash
# Runs a Windows end-to-end test program under Wine against two Linux
# ulmar-emu processes ("a" and "b") in a private adapter directory.
#   run_e2e.sh <ulmar-emu> <test.exe> [test arguments...]
set -euo pipefail
emu=$1
program=$2
shift 2

dir=$(mktemp -d /tmp/ulmar-wine-e2e.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT

for name in a b; do
  ULMAR_DEVICE_DIR=$dir "$emu" --name "$name" >"$dir/$name.log" 2>&1 &
  pids+=($!)
done
for name in a b; do
  for _ in $(seq 200); do
    [[ -s $dir/$name.adapter ]] && break
    sleep 0.05
  done
  if [[ ! -s $dir/$name.adapter ]]; then
    echo "ulmar-emu $name did not publish $dir/$name.adapter" >&2
    cat "$dir/$name.log" >&2
    exit 1
  fi
done

ULMAR_DEVICE_DIR="Z:${dir//\//\\}" WINEDEBUG=-all wine "$program" "$@"
