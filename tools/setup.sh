#!/usr/bin/env bash
# Installs what building and testing Quorvane needs on Debian 12, as root.
# Only missing packages are installed; with everything present it does nothing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config libblkid-dev
  # tests: GoogleTest/GoogleMock, real FAT32 volumes, Qt offscreen and under X
  libgtest-dev libgmock-dev googletest dosfstools mtools
  qt6-base-dev libxkbcommon-dev fonts-dejavu-core xvfb xauth
  # the wizard end to end: keys and clicks through the X server, screenshots
  xdotool imagemagick
  # Windows check: MinGW cross compiler and Wine; it also lists clusters with
  # The Sleuth Kit and drives the check with python3
  g++-mingw-w64-x86-64-posix wine wine64 python3
  # fuzz targets: clang with libFuzzer
  clang-14 libclang-rt-14-dev
  # benchmarks
  sleuthkit time
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

if ((EUID != 0)); then
  echo "setup: missing packages: ${missing[*]}" >&2
  echo "setup: run tools/setup.sh as root to install them" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
echo "setup: done"
