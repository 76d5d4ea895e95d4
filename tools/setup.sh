#!/usr/bin/env bash
# Installs what Quorvane needs on Debian 12, as root:
#   tools/setup.sh         building and running the wizard and the command
#                          line, and making the demo volume (tools/run-demo.sh);
#   tools/setup.sh --test  that and everything the test command uses
#                          (tools/test.sh): test libraries, X server tools,
#                          Wine and MinGW, fuzzing, packaging.
# Only missing packages are installed; with everything present it does nothing.
set -euo pipefail

packages=(
  # build: compiler, CMake and Ninja, libblkid, zlib (ZIP entries' CRC-32 check), Qt
  g++ cmake ninja-build pkg-config libblkid-dev zlib1g-dev qt6-base-dev libxkbcommon-dev
  # build: sd-bus from libsystemd, to find and open drives through UDisks2
  libsystemd-dev
  # run: a font for the wizard (without one every glyph is an empty box);
  # the demo volume is made with mkfs.fat and mtools
  fonts-dejavu-core dosfstools mtools
)
test_packages=(
  # tests: GoogleTest/GoogleMock; Qt offscreen and under X
  libgtest-dev libgmock-dev googletest xvfb xauth
  # the wizard end to end: keys and clicks through the X server, screenshots;
  # the list's rows and the status text read back through the accessibility
  # bus (a session bus, AT-SPI, and gdbus to query it); ImageMagick also
  # draws the real pictures of the rebuilt-cluster tests
  xdotool imagemagick dbus-daemon at-spi2-core libglib2.0-bin
  # the UDisks2 stand-in of tests/udisks, on a private dbus-daemon: D-Bus
  # for Python, and GLib's main loop for it
  python3-dbus python3-gi
  # Windows check: MinGW cross compiler and Wine; it also lists clusters with
  # The Sleuth Kit and drives the check with python3, which also writes the
  # rebuilt-cluster tests' DOCX
  g++-mingw-w64-x86-64-posix wine wine64 python3
  # exFAT test volumes: mkfs.exfat and dump.exfat (exfatprogs), written
  # through exfat-fuse on a loop device (util-linux's losetup)
  exfatprogs exfat-fuse
  # real read errors: the tests' own FUSE file system that fails reads in
  # chosen byte ranges (tests/support/failing_image_fs.c). The library only:
  # as root it mounts without fusermount3, and Debian's fuse3 package would
  # take the place of the fuse package exfat-fuse depends on.
  libfuse3-dev
  # a file system that shares blocks between files (XFS with reflink, on a
  # loop device), where a recovered file shares the image's blocks
  xfsprogs
  # fuzz targets: clang with libFuzzer
  clang-14 libclang-rt-14-dev
  # install and .deb check: man pages from scdoc, the desktop entry and
  # AppStream validators, man to render the pages, dpkg-shlibdeps for CPack
  scdoc desktop-file-utils appstream man-db dpkg-dev
  # partition tables: sfdisk writes MBR and GPT tables into card images,
  # mkfs.ext4 a partition no drive takes, and The Sleuth Kit's mmls (also
  # used by the benchmarks) places the partitions to compare with
  fdisk e2fsprogs
  # benchmarks; valgrind for the instruction counts of bench/compare.sh --callgrind
  sleuthkit time valgrind
)

case ${1:-} in
  "") ;;
  --test) packages+=("${test_packages[@]}") ;;
  *)
    echo "usage: tools/setup.sh [--test]" >&2
    exit 2
    ;;
esac

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
