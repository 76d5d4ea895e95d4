#!/usr/bin/env bash
# Times `quorvane-cli undelete` on a contiguous 1 GiB deleted file against dd
# copying the same byte range of the image, and reports the ratio and the
# CLI's peak memory.
#
# usage: bench/undelete_bench.sh [PATH-TO-quorvane-cli]
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp); about 4 GiB is
#                   needed there for a moment and removed at the end.
#        BENCH_RUNS timed runs of each side (default 5).
#        BENCH_XFS  0 skips the run on a loop-mounted XFS with reflink (root and
#                   xfsprogs needed; about 2 GiB more in BENCH_TMP).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/quorvane-cli}
runs=${BENCH_RUNS:-5}
scratch=${BENCH_TMP:-/work/bench-tmp}

# At most 0.9 of dd's time where the output shares the image's file system,
# 1.1 elsewhere.
max_ratio_same=0.9
max_ratio_other=1.1
max_rss_mib=32

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
require_tools mkfs.fat mcopy mdel dd cmp python3 /usr/bin/time
cli=$(absolute_cli "$cli")

mkdir -p "$scratch"
work=$(mktemp -d "$scratch/undelete.XXXXXX")
trap 'rm -rf "$work"' EXIT

out_dir=$work/out
mkdir -p "$out_dir"

echo "== building the volume (scratch: $work)"
undelete_volume "$work"
image=$U_IMAGE
source_file=$U_ORIGINAL
offset=$U_OFFSET
size=$U_SIZE

verdict() { if [[ $1 == 1 ]]; then echo "met"; else echo "MISSED"; fi; }
row() { printf '%-8s %16s %10s %10s %12s %10s\n' "$@"; }

# measure LABEL OUT_DIR MAX_RATIO: the recovery into OUT_DIR against dd into
# the same directory, alternating, sync and the outputs removed before each.
measure() {
  local label=$1 out=$2 max=$3
  local dd_target=$out/dd.bin
  local undelete=("$cli" --drive "C:=$image" undelete -o "$out" 'C:\BIG.BIN')
  # dd with 1 MiB blocks is the reference: larger blocks move through memory
  # and cost more than they save on these machines.
  local copy_range=(dd if="$image" of="$dd_target" bs=1M iflag=skip_bytes,count_bytes
    skip="$offset" count="$size" status=none)
  fresh_start() {
    rm -f "$out/BIG.BIN" "$dd_target"
    sync
  }
  fresh_start
  run_timed "$work/cli.out" "${undelete[@]}"
  if [[ $T_RC -ne 0 ]]; then
    echo "quorvane-cli undelete failed (exit $T_RC):" >&2
    cat "$work/cli.out" "$work/stderr.txt" >&2
    exit 1
  fi
  cmp "$source_file" "$out/BIG.BIN" || { echo "recovered file differs from the original" >&2; exit 1; }
  echo "check:  recovered BIG.BIN equals the original (cmp), output $label"
  local cli_s=() dd_s=() ratio=() cli_rss=() cli_cpu=() dd_cpu=() i c d
  for ((i = 1; i <= runs; i++)); do
    fresh_start
    run_timed "$work/cli.out" "${undelete[@]}"
    [[ $T_RC -eq 0 ]] || { echo "quorvane-cli undelete failed in run $i (exit $T_RC)" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    c=$T_NS
    cli_rss+=("$T_RSS")
    cli_cpu+=("$T_CPU")
    fresh_start
    run_timed /dev/null "${copy_range[@]}"
    [[ $T_RC -eq 0 ]] || { echo "dd failed in run $i" >&2; exit 1; }
    d=$T_NS
    dd_cpu+=("$T_CPU")
    cli_s+=("$(secs "$c")")
    dd_s+=("$(secs "$d")")
    ratio+=("$(awk -v a="$c" -v b="$d" 'BEGIN { printf "%.2f", a / b }')")
  done
  fresh_start
  local med_ratio peak_cli
  med_ratio=$(median "${ratio[@]}")
  peak_cli=$(maximum "${cli_rss[@]}")
  echo
  echo "undelete of 1 GiB (contiguous, deleted by mdel) against dd bs=1M of the same bytes;"
  echo "output $label; warm page cache; sync before every run; $runs runs each, alternating"
  row run "quorvane-cli s" "dd s" "cli/dd" "cli cpu s" "dd cpu s"
  for ((i = 0; i < runs; i++)); do
    row "$((i + 1))" "${cli_s[i]}" "${dd_s[i]}" "${ratio[i]}" "${cli_cpu[i]}" "${dd_cpu[i]}"
  done
  row median "$(median "${cli_s[@]}")" "$(median "${dd_s[@]}")" "$med_ratio" "$(median "${cli_cpu[@]}")" "$(median "${dd_cpu[@]}")"
  row fastest "$(minimum "${cli_s[@]}")" "$(minimum "${dd_s[@]}")" \
    "$(awk -v a="$(minimum "${cli_s[@]}")" -v b="$(minimum "${dd_s[@]}")" 'BEGIN { printf "%.2f", a / b }')" \
    "$(minimum "${cli_cpu[@]}")" "$(minimum "${dd_cpu[@]}")"
  echo
  echo "target: cli/dd at most $max    -> $med_ratio ($(verdict "$(awk -v r="$med_ratio" -v m="$max" 'BEGIN { print (r <= m) }')"))"
  echo "target: peak RSS under $max_rss_mib MiB -> $(mib "$peak_cli") MiB ($(verdict "$(awk -v k="$peak_cli" -v m="$max_rss_mib" 'BEGIN { print (k < m * 1024) }')"))"
}

# On the image's own file system the host copies the clusters itself.
measure "on the image's file system ($(stat -f -c %T "$work"))" "$out_dir" "$max_ratio_same"
# A file system that shares extents (XFS with reflink, on a loop device when
# root may mount one): there copy_file_range shares the image's blocks with
# the recovered file instead of copying them, where ext4 copies every byte.
if [[ $(id -u) == 0 ]] && command -v mkfs.xfs >/dev/null && [[ ${BENCH_XFS:-1} == 1 ]]; then
  xfs_image=$work/xfs.img
  xfs_mount=$work/xfs
  truncate -s 6G "$xfs_image"
  mkdir -p "$xfs_mount"
  if mkfs.xfs -q -m reflink=1 "$xfs_image" && mount -o loop "$xfs_image" "$xfs_mount"; then
    trap 'umount "$xfs_mount" 2>/dev/null; rm -rf "$work" "${other_dir:-}"' EXIT
    cp --sparse=always "$image" "$xfs_mount/volume.img"
    mkdir -p "$xfs_mount/out"
    image_on_ext=$image
    image=$xfs_mount/volume.img
    measure "on the image's file system (xfs with reflink, loop-mounted)" "$xfs_mount/out" "$max_ratio_same"
    image=$image_on_ext
    umount "$xfs_mount"
  else
    echo "(could not make or mount an XFS loop volume: skipped)"
  fi
else
  echo "(XFS with reflink skipped: needs root and mkfs.xfs from xfsprogs)"
fi
# Elsewhere they pass through memory: a tmpfs when there is room for two copies.
other=${BENCH_OTHER_FS:-/dev/shm}
if [[ -d $other && $(stat -f -c %i "$other") != $(stat -f -c %i "$work") ]] &&
  (($(df -k --output=avail "$other" | tail -1) > 3 * 1024 * 1024)); then
  other_dir=$(mktemp -d "$other/quorvane-bench.XXXXXX")
  trap 'umount "${xfs_mount:-/nonexistent}" 2>/dev/null; rm -rf "$work" "$other_dir"' EXIT
  measure "on another file system ($other, $(stat -f -c %T "$other"))" "$other_dir" "$max_ratio_other"
else
  echo "(no other file system with room at $other: set BENCH_OTHER_FS)"
fi
rm -f "$source_file"
