#!/usr/bin/env bash
# Windows build of Ulmar: cross-builds Ulmar.dll for x86_64 (build-win64) and
# i686 (build-win32) with MinGW-w64, checks both export tables and the i686
# stdcall stack cleanup, and runs the 64-bit tests under Wine, end to end
# against Linux ulmar-emu processes. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
export WINEDEBUG=-all
# A fresh Wine prefix must not stop to offer Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The 24 export names and the argument bytes each function removes (i686).
declare -A stack_bytes=(
  [VCI_OpenDevice]=12 [VCI_CloseDevice]=8 [VCI_InitCAN]=16 [VCI_StartCAN]=12
  [VCI_ResetCAN]=12 [VCI_ClearBuffer]=12 [VCI_GetReference]=20 [VCI_SetReference]=20
  [VCI_GetReference2]=20 [VCI_SetReference2]=20 [VCI_Transmit]=20 [VCI_Receive]=24
  [VCI_GetReceiveNum]=12 [VCI_ReadCANStatus]=16 [VCI_ReadErrInfo]=16 [VCI_ReadBoardInfo]=12
  [VCI_WriteBoardInfo]=12 [VCI_FindUsbDevice]=4 [VCI_FindUsbDevice2]=4
  [VCI_UsbDeviceReset]=12 [VCI_ConnectDevice]=8 [VCI_ResumeConfig]=12
  [VCI_GetRepeaterReference]=20 [VCI_SetRepeaterReference]=20
)
expected_exports=$(printf '%s\n' "${!stack_bytes[@]}" | LC_ALL=C sort)

# The Linux side of the end-to-end tests: ulmar-emu and the launcher through
# which the Windows test programs start and stop it.
echo "== native ulmar-emu and emulator launcher (build-win-host)"
cmake -S . -B build-win-host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_GUI=OFF -DTESSEL_WERROR=ON >/dev/null
cmake --build build-win-host -- -j"$jobs" ulmar-emu ulmar_emu_launcher
emu=$(realpath build-win-host/emulator/ulmar-emu)
launcher=$(realpath build-win-host/tests/windows/ulmar_emu_launcher)

echo "== x86_64 cross build (build-win64)"
cmake -S . -B build-win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DULMAR_EMU_PROGRAM="$emu" -DULMAR_EMU_LAUNCHER="$launcher" >/dev/null
cmake --build build-win64 -- -j"$jobs"

echo "== i686 cross build (build-win32)"
cmake -S . -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake >/dev/null
cmake --build build-win32 -- -j"$jobs" ulmar ulmar_dll_host

# Checks that the DLL exports exactly the 24 plain names and that both names
# of VCI_FindUsbDevice lead to one entry.
check_exports() {
  local objdump=$1 dll=$2 table names
  table=$("$objdump" -p "$dll")
  names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | LC_ALL=C sort)
  if [[ $names != "$expected_exports" ]]; then
    echo "FAIL: exports of $dll differ from the 24 names:" >&2
    diff <(echo "$expected_exports") <(echo "$names") >&2 || true
    return 1
  fi
  local rva1 rva2
  rva_of() {
    local index
    index=$(sed -n "/^\[Ordinal\/Name Pointer\] Table/,/^\$/s/^[[:space:]]*\[ *\([0-9]*\)\] $1\$/\1/p" <<<"$table")
    sed -n "s/^[[:space:]]*\[ *$index\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA/\1/p" <<<"$table"
  }
  rva1=$(rva_of VCI_FindUsbDevice)
  rva2=$(rva_of VCI_FindUsbDevice2)
  if [[ -z $rva1 || $rva1 != "$rva2" ]]; then
    echo "FAIL: VCI_FindUsbDevice2 ($rva2) is not the entry of VCI_FindUsbDevice ($rva1) in $dll" >&2
    return 1
  fi
  echo "$dll: exactly the 24 undecorated names; VCI_FindUsbDevice2 shares entry $rva1"
}

# Checks that every i686 export is stdcall: each of its returns removes the
# function's argument bytes.
check_stdcall_cleanup() {
  local dll=$1 disassembly name bytes rets
  disassembly=$(i686-w64-mingw32-objdump -d --no-show-raw-insn "$dll")
  for name in "${!stack_bytes[@]}"; do
    [[ $name == VCI_FindUsbDevice2 ]] && continue
    bytes=${stack_bytes[$name]}
    rets=$(awk -v fn="<_${name}@${bytes}>:" '
      $0 ~ /^[0-9a-f]+ <.*>:$/ { inside = ($2 == fn); next }
      inside && $2 ~ /^ret/ { print $2, $3 }' <<<"$disassembly")
    if [[ -z $rets ]]; then
      echo "FAIL: no function _${name}@${bytes} with a return in $dll" >&2
      return 1
    fi
    if grep -qv "^ret \\\$0x$(printf '%x' "$bytes")\$" <<<"$rets"; then
      echo "FAIL: _${name}@${bytes} returns with: $(sort -u <<<"$rets" | tr '\n' ' ')" >&2
      return 1
    fi
  done
  echo "$dll: every export removes its own arguments (ret \$N)"
}

echo "== export tables"
check_exports x86_64-w64-mingw32-objdump build-win64/ulmar/Ulmar.dll
check_exports i686-w64-mingw32-objdump build-win32/ulmar/Ulmar.dll
check_stdcall_cleanup build-win32/ulmar/Ulmar.dll

echo "== 64-bit tests under Wine"
# wineserver must not inherit ctest's output pipe, or ctest waits for it forever.
wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 </dev/null
status=0
(cd build-win64 && ctest --output-on-failure --timeout 300 -L windows) || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
