#!/usr/bin/env bash
# Makes the demo volume: a small FAT32 image with a few deleted files, made
# with mkfs.fat and mtools (files are deleted as the old systems deleted
# them: first byte 0xE5, chain freed). Usage: make-demo-volume.sh IMAGE
#
# Paths to type on the wizard's page 2 (drive C: = this image):
#   C:\NOTES.TXT           a short text file
#   C:\DOCS\REPORT.TXT     a text of 50 KiB (800 lines of 64 bytes)
#   C:\PHOTOS\BANNER.PNG   a picture (the program's own banner)
#   C:\VIDEO\CLIP.BIN      8 MiB of random data (recovered in well under a second)
# Directories to search on page 3: C:\ , C:\DOCS, C:\ARCHIVE (whose
# subdirectory OLD was deleted with PLAN.TXT in it: search deleted
# directories to find it).
set -euo pipefail

image=${1:?usage: make-demo-volume.sh IMAGE}
root=$(cd "$(dirname "$0")/.." && pwd)
export MTOOLS_SKIP_CHECK=1
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT

rm -f "$image"
# 40 MiB with 512-byte clusters: enough clusters for FAT32.
mkfs.fat -F 32 -s 1 -n QUORVANE -C "$image" 40960 >/dev/null

{
  echo "Quorvane demo notes"
  echo "This file was deleted from the root directory of the demo volume."
} >"$work/notes.txt"
for i in $(seq 1 800); do
  printf 'Line %04d of the quarterly report: figures, tables and remarks.\n' "$i"
done >"$work/report.txt"
echo "Keep this letter: it was never deleted." >"$work/letter.txt"
echo "Plan for the old archive: this file sat in a deleted directory." >"$work/plan.txt"
head -c $((8 << 20)) /dev/urandom >"$work/clip.bin"

m() { "$@" -i "$image"; }
m mmd ::/DOCS ::/PHOTOS ::/VIDEO ::/ARCHIVE ::/ARCHIVE/OLD
m mcopy "$work/notes.txt" ::/NOTES.TXT
m mcopy "$work/report.txt" ::/DOCS/REPORT.TXT
m mcopy "$work/letter.txt" ::/DOCS/LETTER.TXT
m mcopy "$root/res/pictures/150.png" ::/PHOTOS/BANNER.PNG
m mcopy "$work/clip.bin" ::/VIDEO/CLIP.BIN
m mcopy "$work/plan.txt" ::/ARCHIVE/OLD/PLAN.TXT
m mdel ::/NOTES.TXT ::/DOCS/REPORT.TXT ::/PHOTOS/BANNER.PNG ::/VIDEO/CLIP.BIN
m mdeltree ::/ARCHIVE/OLD
echo "demo volume: $image"
