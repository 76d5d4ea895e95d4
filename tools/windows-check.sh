#!/usr/bin/env bash
# Cross-builds quorvane-cli for 64-bit Windows with MinGW-w64 and runs it
# under Wine on a FAT32 volume image: deleted files whose clusters lie past
# 2 GiB and past 4 GiB are recovered through the Windows volume-file route
# (Wine has no VWIN32 device) and compared with the originals.
#
# Usage: tools/windows-check.sh     (builds into build-mingw/, prints PASS or FAIL)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-mingw"
started=$SECONDS

say() { echo "windows-check: $*"; }
fail() {
  say "FAIL: $*" >&2
  exit 1
}

for tool in cmake ninja x86_64-w64-mingw32-g++-posix wine wineboot wineserver mkfs.fat mcopy \
  mmd mdel fls istat python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-windows-check.XXXXXX")
export WINEPREFIX="$work/wineprefix"
cleanup() {
  # The prefix's wine server outlives the programs by a few seconds; stop it
  # before its files go.
  if [[ -d $WINEPREFIX ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- Build -----------------------------------------------------------------
# -Wno-restrict: GCC 12 at -O3 takes a text literal added before a
# std::string for a copy that may overlap itself (GCC bug 105329), in any
# file that does it; the Linux builds keep the warning.
say "building in $build"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BUILD_UI=OFF -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_WERROR=ON \
  -DCMAKE_CXX_FLAGS=-Wno-restrict \
  >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "cmake could not configure"; }
ninja -C "$build" quorvane_volume quorvane_recovery quorvane-cli >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log"; fail "the cross-build failed"; }
cli="$build/quorvane-cli.exe"
[[ -f $cli ]] || fail "no $cli after the build"
# The VWIN32 route is live only in 32-bit programs (the Windows 95/98 family
# runs no others): compile it for 32-bit Windows and see that it calls the
# device. Wine here runs 64-bit programs only, so it is not run.
x86_64-w64-mingw32-g++-posix -m32 -std=c++20 -O2 -Wall -Wextra -Werror -DWIN32_LEAN_AND_MEAN \
  -DNOMINMAX -I"$root/src" -c "$root/src/volume/host/win32/vwin32_device.cpp" -o "$work/vwin32_device.o" ||
  fail "the device route does not compile for 32-bit Windows"
x86_64-w64-mingw32-nm "$work/vwin32_device.o" | grep -q DeviceIoControl ||
  fail "the 32-bit device route never calls DeviceIoControl"
# The wizard is not cross-built here (no Qt for MinGW); its one Windows
# source, which asks for the system's family, compiles on its own.
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -I"$root/src" \
  -c "$root/src/ui/win32/windows_family.cpp" -o "$work/windows_family.o" ||
  fail "the wizard's Windows source does not compile"

# --- Volume ----------------------------------------------------------------
# A 5 GiB sparse FAT32 volume with 4 KiB clusters. mtools starts allocating at
# the free-cluster hint of the FSInfo sector, so setting the hint places a
# directory and a file past 2 GiB and another file past 4 GiB without
# writing gigabytes of filler.
image="$work/volume.img"
export MTOOLS_SKIP_CHECK=1
truncate -s 5G "$image"
mkfs.fat -F 32 -S 512 -s 8 -n QUORVANE "$image" >/dev/null

le_at() { od -An -t"u$2" -j"$1" -N"$2" "$image" | tr -d ' '; }
reserved=$(le_at 14 2)
fats=$(le_at 16 1)
fat_sectors=$(le_at 36 4)
fsinfo=$(le_at 48 2)
data_start=$((reserved + fats * fat_sectors))
# The first cluster whose data begins at or after byte `offset`.
cluster_at() { echo $((($1 / 512 - data_start + 7) / 8 + 2)); }
set_next_free_hint() {
  python3 -c 'import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]) * 512 + 492)
    f.write(struct.pack("<I", int(sys.argv[3])))' "$image" "$fsinfo" "$1"
}

gib=$((1 << 30))
head -c $((384 * 1024 + 123)) /dev/urandom >"$work/near.bin"
head -c $((256 * 1024 + 45)) /dev/urandom >"$work/far.bin"
set_next_free_hint "$(cluster_at $((2 * gib + 64 * 1024 * 1024)))"
mmd -i "$image" ::DIR
mcopy -i "$image" "$work/near.bin" ::DIR/NEAR.BIN
set_next_free_hint "$(cluster_at $((4 * gib + 64 * 1024 * 1024)))"
mcopy -i "$image" "$work/far.bin" ::DIR/FAR.BIN
mdel -i "$image" ::DIR/NEAR.BIN ::DIR/FAR.BIN

# Where the deleted files' data lies, as The Sleuth Kit reads the volume
# (directory by directory: a recursive listing hunts orphans over all 5 GiB).
dir_inode=$(fls -f fat32 -D "$image" | awk '$NF == "DIR" { sub(":", "", $2); print $2 }')
[[ -n $dir_inode ]] || fail "fls finds no DIR"
first_byte_of() {
  local inode sector
  inode=$(fls -f fat32 -d "$image" "$dir_inode" | awk -v name="$1" '$NF ~ name { sub(":", "", $3); print $3 }')
  [[ -n $inode ]] || fail "fls lists no deleted $1"
  sector=$(istat -f fat32 "$image" "$inode" | awk '/^Sectors:/ { getline; print $1 }')
  [[ -n $sector ]] || fail "istat gives no sectors for $1"
  echo $((sector * 512))
}
near_at=$(first_byte_of '^.EAR[.]BIN$')
far_at=$(first_byte_of '^.AR[.]BIN$')
((near_at >= 2 * gib && near_at < 4 * gib)) || fail "NEAR.BIN begins at byte $near_at, not between 2 and 4 GiB"
((far_at >= 4 * gib)) || fail "FAR.BIN begins at byte $far_at, not past 4 GiB"
say "deleted NEAR.BIN at byte $near_at, FAR.BIN at byte $far_at"

# The image is sparse: its fingerprint is the map of its data extents and
# their bytes, so any write, into data or into a hole, shows.
fingerprint() {
  python3 -c 'import hashlib, os, sys
fd = os.open(sys.argv[1], os.O_RDONLY)
size, at, digest = os.fstat(fd).st_size, 0, hashlib.sha256()
while at < size:
    try:
        start = os.lseek(fd, at, os.SEEK_DATA)
    except OSError:
        break
    end = os.lseek(fd, start, os.SEEK_HOLE)
    digest.update(b"%d-%d:" % (start, end))
    os.lseek(fd, start, os.SEEK_SET)
    left = end - start
    while left:
        chunk = os.read(fd, min(left, 1 << 20))
        digest.update(chunk)
        left -= len(chunk)
    at = end
print(size, digest.hexdigest())' "$image"
}
before=$(fingerprint)

# --- Wine ------------------------------------------------------------------
# A fresh, quiet prefix: no debug output, no Mono or Gecko installers, no
# window system. Drive D: is the image (d:: is its device, d: a folder).
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot could not make a prefix"; }
# A running wine server does not see drives added after it started.
wineserver -k >/dev/null 2>&1 || true
mkdir -p "$work/d-folder"
ln -sfn "$work/d-folder" "$WINEPREFIX/dosdevices/d:"
ln -sfn "$image" "$WINEPREFIX/dosdevices/d::"

windows_path() { echo "Z:${1//\//\\}"; }
run_cli() { wine "$cli" "$@" 2>>"$work/cli.log"; }

# Discover lists the FAT32 volume under its own letter, with the label and
# family its boot sector gives.
drives=$(run_cli drives | tr -d '\r') || fail "drives failed: $(tail -n 5 "$work/cli.log")"
grep -q '^D: \\\\\.\\D: "QUORVANE" FAT32 ' <<<"$drives" || fail "drives does not list D: (got: $drives)"

recover() {  # recover NAME ORIGINAL [DRIVE ARGUMENTS...]: D:\DIR\NAME through the table
  local name=$1 original=$2 letter=D out
  shift 2
  [[ $# -gt 0 ]] && letter=E
  out="$work/out-$name-$letter"
  mkdir -p "$out"
  run_cli "$@" undelete -o "$(windows_path "$out")" "$letter:\\DIR\\$name" >/dev/null ||
    fail "undelete $letter:\\DIR\\$name exited $?: $(tail -n 5 "$work/cli.log")"
  [[ -f $out/$name ]] || fail "undelete $letter:\\DIR\\$name wrote no $name"
  cmp "$original" "$out/$name" || fail "$letter:\\DIR\\$name came back different"
  say "recovered $letter:\\DIR\\$name ($(stat -c %s "$out/$name") bytes), identical"
}
recover NEAR.BIN "$work/near.bin"
recover FAR.BIN "$work/far.bin"
# The same volume mapped as an image file to another letter.
recover FAR.BIN "$work/far.bin" --drive "E:=$(windows_path "$image")"

# An output directory on the volume being read is refused, and nothing is
# written there, also when the volume reaches the program under another letter.
expect_refused() {  # expect_refused SOURCE [DRIVE ARGUMENTS...]
  local source=$1 log="$work/refused.log"
  shift
  if wine "$cli" "$@" undelete -o 'D:\' "$source" >"$log" 2>&1; then
    fail "undelete of $source into D:\\ was not refused"
  fi
  grep -q "Please select an output directory on another drive" "$log" ||
    fail "undelete of $source into D:\\ gave no reason: $(tail -n 3 "$log")"
  [[ -z $(ls -A "$work/d-folder") ]] || fail "undelete of $source into D:\\ wrote into it"
}
expect_refused 'D:\DIR\NEAR.BIN'
expect_refused 'E:\DIR\NEAR.BIN' --drive 'E:=\\.\D:'
say "output directories on the volume being read are refused"

[[ $(fingerprint) == "$before" ]] || fail "the volume image changed"

say "PASS ($((SECONDS - started)) s)"
