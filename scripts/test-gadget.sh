#!/usr/bin/env bash
# Runs Ulmar's end-to-end tests through a real kernel USB stack: boots
# Debian's kernel in QEMU (no KVM needed) with a small initramfs, where
# dummy_hcd connects ulmar-emu, serving as a USB gadget, to the host side that
# libusb and libulmar.so use. Prints the tests' summary and the benchmark
# figures from the guest, and fails when a test failed or the guest did not
# report.
#   scripts/test-gadget.sh [gtest filter]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
filter=${1:-*}

scripts/setup.sh
targets=(ulmar ulmar-emu ulmar_e2e_device_test ulmar_e2e_protocol_test ulmar_e2e_stress_test
  ulmar_e2e_usb_test ulmar_bench)
scripts/build.sh plain "${targets[@]}"
build=$root/build

kernel=$(ls /boot/vmlinuz-* | sort -V | tail -n 1)
version=${kernel#/boot/vmlinuz-}
guest=$(mktemp -d /tmp/ulmar-gadget-XXXXXX)
trap 'rm -rf "$guest"' EXIT
stage=$guest/root
mkdir -p "$stage"/{bin,dev,proc,sys,tmp,run,etc,modules}

# Shared libraries at the paths the programs look for them, loader included.
copy_with_libraries() {
  local file lib
  for file in "$@"; do
    mkdir -p "$stage$(dirname "$file")"
    cp -L "$file" "$stage$file"
    for lib in $(ldd "$file" | grep -o '/[^ ]*'); do
      [[ -e $stage$lib ]] && continue
      mkdir -p "$stage$(dirname "$lib")"
      cp -L "$lib" "$stage$lib"
    done
  done
}

cp /bin/busybox "$stage/bin/busybox"
programs=("$build/emulator/ulmar-emu" "$build/bench/ulmar/ulmar_bench" /lib/systemd/systemd-udevd)
tests=()
for t in device protocol stress usb; do
  tests+=("$build/tests/ulmar/ulmar_e2e_${t}_test")
done
copy_with_libraries "${programs[@]}" "${tests[@]}"

# The USB modules and what they depend on, in loading order.
modules=()
add_module() {
  local dep
  for dep in $(modinfo -k "$version" -F depends "$1" | tr ',' ' '); do
    add_module "$dep"
  done
  [[ " ${modules[*]} " == *" $1 "* ]] || modules+=("$1")
}
for m in dummy_hcd gadgetfs; do add_module "$m"; done
for m in "${modules[@]}"; do
  cp "$(modinfo -k "$version" -F filename "$m")" "$stage/modules/$m.ko"
done
echo "${modules[*]}" >"$stage/modules/order"

# In the guest the tests start ulmar-emu as a USB device through gadgetfs.
cat >"$stage/etc/tests" <<EOF
export TESSEL_GADGETFS=/dev/gadget
export TESSEL_STRESS_FRAMES=${TESSEL_GADGET_STRESS_FRAMES:-3000}
tests="${tests[*]}"
filter='$filter'
bench="$build/bench/ulmar/ulmar_bench --frames ${TESSEL_GADGET_BENCH_FRAMES:-5000} --seconds 3"
EOF
cp scripts/gadget-guest-init.sh "$stage/init"
chmod +x "$stage/init"
(cd "$stage" && find . | cpio -o -H newc --quiet | gzip -1) >"$guest/initramfs.gz"

log=$guest/console.log
echo "== booting $kernel with the gadget tests"
timeout 570 qemu-system-x86_64 -machine q35 -accel tcg -cpu max -smp 1 -m 1024 \
  -kernel "$kernel" -initrd "$guest/initramfs.gz" \
  -append "console=ttyS0 quiet panic=-1" \
  -nographic -no-reboot -serial mon:stdio </dev/null | tee "$log" || true

summary=$(grep -a -o 'GADGET-TESTS: [0-9]* passed, [0-9]* failed, [0-9]* skipped' "$log" | tail -n 1 || true)
if [[ -z $summary ]]; then
  echo "test-gadget: the guest did not report a result" >&2
  exit 1
fi
echo "$summary"
read -r passed failed <<<"$(sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed.*/\1 \2/' <<<"$summary")"
[[ $failed -eq 0 && $passed -gt 0 ]]
