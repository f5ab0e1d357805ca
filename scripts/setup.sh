#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang-format
  libgtest-dev libgmock-dev
  libusb-1.0-0-dev
  python3-can
  qt6-base-dev qt6-base-dev-tools fonts-dejavu-core fonts-dejavu-extra xvfb xauth
  file lintian
  clang libclang-rt-14-dev
  qemu-system-x86 linux-image-amd64 busybox-static cpio kmod udev
)
if [[ "${TESSEL_WINDOWS:-1}" == 1 ]]; then
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
