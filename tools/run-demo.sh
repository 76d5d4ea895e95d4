#!/usr/bin/env bash
# Installs what is missing to build and run the wizard (tools/setup.sh without
# --test: no test tools), builds the wizard, makes the demo volume and
# starts the wizard with it as drive C:. Recovered files land in
# build/recovered/ unless another directory is chosen on the first page.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [[ -f tools/setup.sh ]]; then bash tools/setup.sh; fi

# setup.sh without --test installs no test libraries, so a new build tree
# leaves the tests out; a tree that tools/test.sh configured keeps them.
tests=()
[[ -f build/CMakeCache.txt ]] || tests=(-DQUORVANE_BUILD_TESTS=OFF)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" >/dev/null
cmake --build build --target quorvane
bash tools/make-demo-volume.sh build/demo.img

cat <<'TEXT'

Paths to type on the second page (Undelete File If You Know The Complete File Name):
  C:\NOTES.TXT   C:\DOCS\REPORT.TXT   C:\PHOTOS\BANNER.PNG   C:\VIDEO\CLIP.BIN
Directories to search on the third page: C:\   C:\DOCS   C:\ARCHIVE (search deleted directories)
TEXT

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "run-demo: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session" >&2
  exit 1
fi
mkdir -p build/recovered
cd build/recovered
exec "$root/build/quorvane" --drive "C:=$root/build/demo.img"
