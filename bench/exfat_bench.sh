#!/usr/bin/env bash
# exFAT, in two parts: `quorvane-cli search --recurse --deleted-dirs --all C:`
# on an exFAT volume of 100,000 files in 10,000 directories, about half of
# them deleted, against The Sleuth Kit's `fls -r -d -p` (a yardstick); and
# `quorvane-cli undelete` of a deleted 1 GiB file written without a FAT chain
# (NoFatChain) against dd copying the same byte range of the image.
#
# usage: bench/exfat_bench.sh [--rebuild] [--only search|undelete] [PATH-TO-quorvane-cli]
# needs: root, loop devices and FUSE (the volumes are written through
#        exfat-fuse on a loop device), exfatprogs, exfat-fuse, The Sleuth Kit.
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp); the search
#                   image (about 480 MB on disk) is kept in
#                   BENCH_TMP/exfat-volume and reused while its recipe is
#                   unchanged; undelete needs about 4 GiB for a few minutes.
#        BENCH_RUNS timed runs of each tool (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
rebuild=0
only=search,undelete
cli=
while [[ $# -gt 0 ]]; do
  case $1 in
    --rebuild) rebuild=1 ;;
    --only)
      [[ $# -ge 2 && ( $2 == search || $2 == undelete ) ]] || { echo "--only takes search or undelete" >&2; exit 2; }
      only=$2
      shift ;;
    -h | --help) sed -n '2,15p' "$0"; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) cli=$1 ;;
  esac
  shift
done
cli=${cli:-$here/../build/quorvane-cli}
runs=${BENCH_RUNS:-5}
scratch=${BENCH_TMP:-/work/bench-tmp}
want() { [[ ,$only, == *,$1,* ]]; }

min_speedup_vs_fls=100
max_ratio_vs_dd=1.1

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
require_tools mkfs.exfat mount.exfat-fuse losetup mountpoint fls dd cmp python3 sha256sum xargs /usr/bin/time
cli=$(absolute_cli "$cli")
# Writing the volumes needs loop devices and FUSE.
volumes_writable() {
  [[ $(id -u) == 0 && -w /dev/loop-control && -w /dev/fuse ]] ||
    { echo "making exFAT volumes needs root, /dev/loop-control and /dev/fuse" >&2; exit 2; }
}

mkdir -p "$scratch"
work=$(mktemp -d "$scratch/exfat-run.XXXXXX")
EX_LOOP=
cleanup() {
  # A volume left mounted by a failed build is let go first.
  [[ -z $EX_LOOP ]] || exfat_unmount "$U_IMAGE" "$work/undelete/mnt" || true
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
verdict() { if [[ $1 == 1 ]]; then echo "met"; else echo "MISSED"; fi; }
summary=()

# --- search ---------------------------------------------------------------------

if want search; then
  if [[ $rebuild == 1 || ! -f $scratch/exfat-volume/exfat.img ]]; then volumes_writable; fi
  exfat_search_volume "$rebuild"
  image=$X_IMAGE

  quorvane=("$cli" --drive "C:=$image" search --recurse --deleted-dirs --all 'C:')
  sleuthkit=(fls -r -d -p -f exfat "$image")
  check() {
    if [[ $T_RC -ne 0 ]]; then
      echo "$1 failed (exit $T_RC):" >&2
      head -n 20 "$work/stderr.txt" >&2
      exit 1
    fi
  }

  # Untimed first round: the image's pages are warm for both alike.
  cat "$image" >/dev/null
  run_timed "$work/quorvane.out" "${quorvane[@]}"; check quorvane
  run_timed "$work/fls.out" "${sleuthkit[@]}"; check fls

  q_s=() f_s=() speedup=() q_rss=() f_rss=() q_cpu=() f_cpu=()
  for ((i = 1; i <= runs; i++)); do
    run_timed "$work/quorvane.out" "${quorvane[@]}"; check quorvane
    q=$T_NS; q_rss+=("$T_RSS"); q_cpu+=("$T_CPU")
    run_timed "$work/fls.out" "${sleuthkit[@]}"; check fls
    f=$T_NS; f_rss+=("$T_RSS"); f_cpu+=("$T_CPU")
    q_s+=("$(secs "$q")"); f_s+=("$(secs "$f")")
    speedup+=("$(awk -v a="$f" -v b="$q" 'BEGIN { printf "%.1f", a / b }')")
  done

  rows=$(wc -l <"$work/quorvane.out")
  fls_deleted=$(wc -l <"$work/fls.out")
  fls_orphans=$(grep -c 'OrphanFiles' "$work/fls.out" || true)
  fls_dirs=$(grep -c '^d/d \*' "$work/fls.out" || true)
  med_speedup=$(median "${speedup[@]}")

  echo
  echo "search --recurse --deleted-dirs --all C: on exFAT; warm page cache; $runs runs each, alternating"
  row() { printf '%-8s %12s %10s %10s %12s %10s\n' "$@"; }
  row run "quorvane s" "fls s" "fls/q" "q cpu s" "fls cpu s"
  for ((i = 0; i < runs; i++)); do
    row "$((i + 1))" "${q_s[i]}" "${f_s[i]}" "${speedup[i]}" "${q_cpu[i]}" "${f_cpu[i]}"
  done
  row median "$(median "${q_s[@]}")" "$(median "${f_s[@]}")" "$med_speedup" "$(median "${q_cpu[@]}")" "$(median "${f_cpu[@]}")"
  printf '%-8s %8s MiB %6s MiB\n' "peak RSS" "$(mib "$(maximum "${q_rss[@]}")")" "$(mib "$(maximum "${f_rss[@]}")")"
  echo
  echo "rows listed by quorvane-cli: $rows"
  echo "deleted entries reported by fls: $fls_deleted (of them under \$OrphanFiles: $fls_orphans, directories: $fls_dirs; fls also lists empty files)"
  summary+=("target: search at least ${min_speedup_vs_fls}x faster than fls -> ${med_speedup}x ($(verdict "$(awk -v r="$med_speedup" -v m="$min_speedup_vs_fls" 'BEGIN { print (r >= m) }')"))")
fi

# --- undelete -------------------------------------------------------------------

if want undelete; then
  volumes_writable
  echo
  echo "== building the undelete volume (scratch: $work/undelete)"
  out_dir=$work/undelete/out
  dd_target=$work/undelete/dd.bin
  mkdir -p "$out_dir"
  exfat_undelete_volume "$work/undelete"
  image=$U_IMAGE
  undelete=("$cli" --drive "C:=$image" undelete -o "$out_dir" 'C:\BIG.BIN')
  # shellcheck disable=SC2054  # iflag takes one comma-separated word
  copy_range=(dd if="$image" of="$dd_target" bs=16M iflag=skip_bytes,count_bytes
    skip="$U_OFFSET" count="$U_SIZE" status=none)
  fresh_start() {
    rm -f "$out_dir/BIG.BIN" "$dd_target"
    sync
  }

  # Untimed first round: warms the image's pages for both sides alike and
  # checks the result once.
  fresh_start
  run_timed "$work/cli.out" "${undelete[@]}"
  if [[ $T_RC -ne 0 ]]; then
    echo "quorvane-cli undelete failed (exit $T_RC):" >&2
    cat "$work/cli.out" "$work/stderr.txt" >&2
    exit 1
  fi
  cmp "$U_ORIGINAL" "$out_dir/BIG.BIN" || { echo "recovered file differs from the original" >&2; exit 1; }
  echo "check:  recovered BIG.BIN equals the original (cmp)"
  fresh_start
  run_timed /dev/null "${copy_range[@]}"
  [[ $T_RC -eq 0 ]] || { echo "dd failed" >&2; exit 1; }
  rm -f "$U_ORIGINAL"

  cli_s=() dd_s=() ratio=() cli_rss=() dd_rss=() cli_cpu=() dd_cpu=()
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
    dd_rss+=("$T_RSS")
    dd_cpu+=("$T_CPU")
    cli_s+=("$(secs "$c")")
    dd_s+=("$(secs "$d")")
    ratio+=("$(awk -v a="$c" -v b="$d" 'BEGIN { printf "%.2f", a / b }')")
  done
  fresh_start
  rm -rf "$work/undelete"

  med_ratio=$(median "${ratio[@]}")
  echo
  echo "undelete of 1 GiB on exFAT (NoFatChain, deleted by exfat-fuse); warm page cache, both read the same image;"
  echo "output and dd's target on the same host file system; sync before every run; $runs runs each, alternating"
  row() { printf '%-8s %16s %10s %10s %12s %10s\n' "$@"; }
  row run "quorvane-cli s" "dd s" "cli/dd" "cli cpu s" "dd cpu s"
  for ((i = 0; i < runs; i++)); do
    row "$((i + 1))" "${cli_s[i]}" "${dd_s[i]}" "${ratio[i]}" "${cli_cpu[i]}" "${dd_cpu[i]}"
  done
  row median "$(median "${cli_s[@]}")" "$(median "${dd_s[@]}")" "$med_ratio" "$(median "${cli_cpu[@]}")" "$(median "${dd_cpu[@]}")"
  row fastest "$(minimum "${cli_s[@]}")" "$(minimum "${dd_s[@]}")" \
    "$(awk -v a="$(minimum "${cli_s[@]}")" -v b="$(minimum "${dd_s[@]}")" 'BEGIN { printf "%.2f", a / b }')" \
    "$(minimum "${cli_cpu[@]}")" "$(minimum "${dd_cpu[@]}")"
  printf '%-8s %12s MiB %6s MiB\n' "peak RSS" "$(mib "$(maximum "${cli_rss[@]}")")" "$(mib "$(maximum "${dd_rss[@]}")")"
  summary+=("target: undelete cli/dd at most $max_ratio_vs_dd        -> $med_ratio ($(verdict "$(awk -v r="$med_ratio" -v m="$max_ratio_vs_dd" 'BEGIN { print (r <= m) }')"))")
fi

echo
printf '%s\n' "${summary[@]}"
