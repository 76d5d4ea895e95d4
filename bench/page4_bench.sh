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

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
require_tools mkfs.fat mcopy mdel python3 cmake ninja sha256sum

page4_volume "$rebuild"
image=$P4_IMAGE

build=$scratch/page4-build
echo "== building page4_bench and quorvane-cli (Release) in $build"
page4_build "$here/.." "$build"

runtime=$(page4_runtime_dir)
trap 'rm -rf "$runtime"' EXIT
echo "== page 4 (offscreen, page shown) against quorvane-cli search --recurse --deleted-dirs --all C:"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$runtime "$build/page4_bench" "$image" "$build/quorvane-cli" "$runs"
