#!/usr/bin/env bash
# Runs a Windows end-to-end test program under Wine with a Linux emulator
# launcher beside it, through which its fixture starts and stops ulmar-emu.
#   run_with_launcher.sh <emu_launcher> <ulmar-emu> <test.exe> [test arguments...]
set -euo pipefail
launcher=$1
emu=$2
program=$3
shift 3

work=$(mktemp -d /tmp/ulmar-wine-launcher.XXXXXX)
launcher_pid=
cleanup() {
  if [[ -n $launcher_pid ]]; then
    kill -TERM "$launcher_pid" 2>/dev/null || true
    wait "$launcher_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$launcher" "$emu" "$work/port" >"$work/launcher.log" 2>&1 &
launcher_pid=$!
for _ in $(seq 200); do
  [[ -s $work/port ]] && break
  sleep 0.05
done
if [[ ! -s $work/port ]]; then
  echo "emu_launcher did not publish its port" >&2
  cat "$work/launcher.log" >&2
  exit 1
fi

status=0
TESSEL_EMU_LAUNCHER_PORT=$(<"$work/port") WINEDEBUG=-all wine "$program" "$@" || status=$?
if [[ $status -ne 0 && -s $work/launcher.log ]]; then
  echo "--- emulator and launcher output" >&2
  cat "$work/launcher.log" >&2
fi
exit $status
