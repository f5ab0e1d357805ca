#!/usr/bin/env bash
# Builds the Debian packages from the plain build (build/), installs them on
# this machine and meets them as a user would:
#   - lintian finds no errors in them;
#   - a C program built with `pkg-config --cflags --libs ulmar` and a CMake
#     project using find_package(Ulmar) move frames through the installed
#     ulmar-emu;
#   - the installed tessel starts offscreen, keeps its settings in
#     $XDG_CONFIG_HOME/tessel and ends on SIGTERM (cleanly, saving its
#     settings, once it handles that signal), while an unpacked copy keeps
#     them beside its executable.
# Everything installed is purged again at the end. Needs root or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
apt_get() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"
}
fail() {
  echo "test-packages: FAIL: $*" >&2
  exit 1
}
# Waits up to 30 s for a file; fails early if the process it waits for ends.
wait_for_file() {
  local file=$1 pid=$2
  for _ in $(seq 300); do
    [[ -e $file ]] && return 0
    kill -0 "$pid" 2>/dev/null || fail "process $pid ended before $file appeared"
    sleep 0.1
  done
  fail "$file did not appear within 30 s"
}

echo "== Debian packages"
work=$(mktemp -d "${TMPDIR:-/tmp}/tessel-packages.XXXXXX")
emu_pid=
# Removes every installed package made from this source tree.
purge() {
  local installed
  installed=$(dpkg-query -W -f='${db:Status-Status} ${source:Package} ${binary:Package}\n' |
    awk '$1 == "installed" && $2 == "tessel" { print $3 }')
  if [[ -n $installed ]]; then apt_get purge $installed >/dev/null; fi
}
cleanup() {
  if [[ -n $emu_pid ]]; then
    kill -TERM "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
  fi
  purge
  rm -rf "$work"
}
trap cleanup EXIT

purge # what an earlier, interrupted run left: it would change the dependencies

# A packaged monitor knows it is installed by running from the bin folder of
# the prefix it was built for, so the packages come from a build for /usr.
cmake -S . -B build -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
rm -rf build/packages
if ! cmake --build build --target package >"$work/package.log" 2>&1; then
  cat "$work/package.log" >&2
  fail "the packages could not be built"
fi
debs=()
for deb in build/packages/*.deb; do debs+=("$(realpath "$deb")"); done
((${#debs[@]} == 4)) || fail "expected 4 packages, got ${#debs[@]}"
names=()
for deb in "${debs[@]}"; do
  names+=("$(dpkg-deb --field "$deb" Package)")
  echo "$(basename "$deb"): $(dpkg-deb --field "$deb" Depends)"
done

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "${debs[@]}"

echo "== install"
apt_get install "${debs[@]}" >/dev/null
for name in "${names[@]}"; do dpkg-query -W "$name"; done

echo "== host programs built against the installed library"
cc -Wall -Wextra -Werror -o "$work/consumer-pkg-config" tests/packages/consumer.c \
  $(pkg-config --cflags --libs ulmar)
cmake -S tests/packages/cmake-consumer -B "$work/cmake-consumer" -G Ninja >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
export ULMAR_DEVICE_DIR=$work/adapters
ulmar-emu --name packages &
emu_pid=$!
wait_for_file "$ULMAR_DEVICE_DIR/packages.adapter" "$emu_pid"
for program in "$work/consumer-pkg-config" "$work/cmake-consumer/consumer"; do
  ldd "$program" | grep -qE "libulmar.so.1 => (/usr)?/lib/" || fail "$program does not use the installed library"
  "$program" || fail "$program could not move frames"
done

# Starts a monitor offscreen, waits for its settings file, ends it with
# SIGTERM and checks how it ended.
check_monitor() {
  local program=$1 settings_dir=$2 pid status
  XDG_CONFIG_HOME=$work/config HOME=$work/home XDG_RUNTIME_DIR=$work/runtime \
    QT_QPA_PLATFORM=offscreen "$program" &
  pid=$!
  wait_for_file "$settings_dir/Tessel.ini" "$pid"
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  # A monitor that handles SIGTERM closes as from the window and saves the
  # channels' settings; one that does not is ended by the signal (128 + 15)
  # after its start-up has written the file.
  if nm -D --undefined-only "$program" | grep -qwE 'sigaction|signal|signalfd|sigwait(info)?'; then
    ((status == 0)) || fail "$program exited with $status on SIGTERM"
    grep -q '^CanRate_channel0=' "$settings_dir/Tessel.ini" ||
      fail "$program did not save its settings at exit"
  else
    ((status == 143)) || fail "$program exited with $status on SIGTERM"
    echo "note: $program does not handle SIGTERM; checked the settings its start-up writes"
  fi
  echo "$program: settings in $settings_dir"
}

echo "== the installed monitor"
mkdir -p "$work/home"
mkdir -m 700 "$work/runtime"
check_monitor "$(command -v tessel)" "$work/config/tessel"
[[ ! -e /usr/bin/Tessel.ini ]] || fail "the installed monitor wrote beside its executable"

echo "== an unpacked copy of the monitor"
dpkg-deb -x build/packages/tessel_*.deb "$work/unpacked"
check_monitor "$work/unpacked/usr/bin/tessel" "$work/unpacked/usr/bin"

echo "packages passed"
