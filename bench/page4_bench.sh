#!/usr/bin/env bash
# Times the results page listing 100,000 rows: from the press of Show Files
# to the final caption, with the worst lateness of a 10 ms timer on the
# user-interface thread while the rows arrive, beside `quorvane-cli search
# --recurse --deleted-dirs --all C:` on the same volume. Offscreen, with the
# page shown. The volume: 1,000 directories of 100 files each (one in ten
# with a long name), every file deleted with mdel, built with mkfs.fat and
# mtools and kept for later runs.
#
# usage: bench/page4_bench.sh [--rebuild]
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp): the volume in
#                   BENCH_TMP/page4-volume, the optimised build in
#                   BENCH_TMP/page4-build.
#        BENCH_RUNS timed runs (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
rebuild=0
for arg in "$@"; do
  case $arg in
    --rebuild) rebuild=1 ;;
    -h | --help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "unknown argument: $arg" >&2; exit 2 ;;
  esac
done
runs=${BENCH_RUNS:-5}
scratch=${BENCH_TMP:-/work/bench-tmp}
for tool in mkfs.fat mcopy mdel python3 cmake ninja sha256sum; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done
export MTOOLS_SKIP_CHECK=1

generator=$(cat <<'PY'
import os, sys
root = sys.argv[1]
blob = bytes(range(256)) * 4
for d in range(1000):
    folder = os.path.join(root, "D%04d" % d)
    os.makedirs(folder)
    for f in range(100):
        name = ("Long file name %02d.txt" % f) if f % 10 == 0 else ("F%02d.DAT" % f)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(blob[: 40 + (d * 7 + f * 13) % 900])
PY
)
image_kib=$((128 * 1024))
mkfs_args=(-F 32 -s 1 -n QVPAGE4)
recipe=$(printf '%s\n' "$generator" "$image_kib" "${mkfs_args[@]}" "mcopy -s; mdel D*/*" | sha256sum | cut -c1-16)
cache=$scratch/page4-volume
image=$cache/page4.img
stamp=$cache/stamp
mkdir -p "$cache"

if [[ $rebuild == 1 || ! -f $image || ! -f $stamp || $(head -n 1 "$stamp") != "$recipe" ]]; then
  echo "== building the volume in $cache"
  rm -f "$image" "$image.part" "$stamp"
  # The host tree of 100,000 small files goes to memory where there is some.
  tree=$(mktemp -d "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/page4-tree.XXXXXX")
  trap 'rm -rf "$tree"' EXIT
  python3 -c "$generator" "$tree/root"
  mkfs.fat "${mkfs_args[@]}" -C "$image.part" "$image_kib" >/dev/null
  (cd "$tree/root" && mcopy -s -i "$image.part" -- * ::/ </dev/null)
  (cd "$tree/root" && for d in D*; do echo "::/$d/*"; done) >"$tree/delete.txt"
  xargs -d '\n' -s 200000 -a "$tree/delete.txt" mdel -i "$image.part" </dev/null
  mv "$image.part" "$image"
  echo "$recipe" >"$stamp"
  rm -rf "$tree"
  trap - EXIT
else
  echo "== reusing the volume in $cache (--rebuild to make it again)"
fi

build=$scratch/page4-build
echo "== building page4_bench and quorvane-cli (Release) in $build"
cmake -S "$here/page4" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -Wno-dev >/dev/null
ninja -C "$build" page4_bench quorvane-cli >/dev/null

runtime=$(mktemp -d "${TMPDIR:-/tmp}/page4-runtime.XXXXXX")
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
echo "== page 4 (offscreen, page shown) against quorvane-cli search --recurse --deleted-dirs --all C:"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$runtime "$build/page4_bench" "$image" "$build/quorvane-cli" "$runs"
