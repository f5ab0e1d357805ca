#!/bin/busybox sh
# First process of the QEMU guest that scripts/test-gadget.sh boots: loads the
# USB modules, starts udevd (libusb learns of plugged adapters through it),
# runs the tests with ulmar-emu as a USB device on dummy_hcd, prints the summary
# line the host looks for and powers off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mount -t tmpfs run /run

for m in $(cat /modules/order); do
  insmod "/modules/$m.ko" || echo "gadget guest: cannot load $m"
done
mkdir -p /dev/gadget
mount -t gadgetfs gadgetfs /dev/gadget
/lib/systemd/systemd-udevd --daemon 2>/dev/null

. /etc/tests
passed=0
failed=0
skipped=0
for test in $tests; do
  echo "== $test"
  "$test" --gtest_filter="$filter" >/tmp/out 2>&1
  status=$?
  cat /tmp/out
  ok=$(grep -c '^\[       OK \]' /tmp/out)
  bad=$(grep -c '^\[  FAILED  \] .*ms)$' /tmp/out)
  skip=$(grep -c '^\[  SKIPPED \] .*ms)$' /tmp/out)
  # A crash or hang leaves no failed test behind: it counts as one.
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then bad=1; fi
  passed=$((passed + ok))
  failed=$((failed + bad))
  skipped=$((skipped + skip))
done
if [ "$failed" -ne 0 ]; then
  echo "== kernel log"
  dmesg | tail -n 60
fi
echo "== ulmar_bench through the USB stack"
$bench
echo "GADGET-TESTS: $passed passed, $failed failed, $skipped skipped"
poweroff -f
