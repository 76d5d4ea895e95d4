#!/usr/bin/env bash
# Times `quorvane-cli search --recurse --deleted-dirs --all C:` on a FAT32
# volume of about 100,000 files in 10,000 directories, half of them deleted,
# against The Sleuth Kit's `fls -r -d -p` (a yardstick) and `fsck.fat -n`
# (which reads every directory and the FAT once: the floor).
#
# usage: bench/search_bench.sh [--rebuild] [PATH-TO-quorvane-cli]
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp); the built image
#                   (about 460 MB on disk) is kept in BENCH_TMP/search-volume
#                   and reused while its recipe is unchanged.
#        BENCH_RUNS timed runs of each tool (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
rebuild=0
cli=
for arg in "$@"; do
  case $arg in
    --rebuild) rebuild=1 ;;
    -h | --help) sed -n '2,11p' "$0"; exit 0 ;;
    -*) echo "unknown option: $arg" >&2; exit 2 ;;
    *) cli=$arg ;;
  esac
done
cli=${cli:-$here/../build/quorvane-cli}
runs=${BENCH_RUNS:-5}
scratch=${BENCH_TMP:-/work/bench-tmp}

min_speedup_vs_fls=3
max_rss_mib=64
goal_vs_fsck=2

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
require_tools mkfs.fat mcopy mdel mdeltree fls fsck.fat python3 sha256sum xargs /usr/bin/time
cli=$(absolute_cli "$cli")

search_volume "$rebuild"
image=$S_IMAGE

work=$(mktemp -d "$scratch/search-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

quorvane=("$cli" --drive "C:=$image" search --recurse --deleted-dirs --all 'C:')
sleuthkit=(fls -r -d -p -f fat32 "$image")
floor=(fsck.fat -n "$image")

# check NAME: stops on a failed run. fsck.fat -n exits 1 when it finds
# something it would repair, which is no failure here.
check() {
  local ok=0
  case $1 in
    quorvane | fls) [[ $T_RC -eq 0 ]] && ok=1 ;;
    fsck) [[ $T_RC -eq 0 || $T_RC -eq 1 ]] && ok=1 ;;
  esac
  if [[ $ok == 0 ]]; then
    echo "$1 failed (exit $T_RC):" >&2
    head -n 20 "$work/stderr.txt" >&2
    exit 1
  fi
}

# Untimed first round: the image's pages are warm for all three alike.
cat "$image" >/dev/null
run_timed "$work/quorvane.out" "${quorvane[@]}"; check quorvane
run_timed "$work/fls.out" "${sleuthkit[@]}"; check fls
run_timed "$work/fsck.out" "${floor[@]}"; check fsck

q_s=() f_s=() k_s=() speedup=() vs_floor=() q_rss=() f_rss=() k_rss=()
for ((i = 1; i <= runs; i++)); do
  run_timed "$work/quorvane.out" "${quorvane[@]}"; check quorvane
  q=$T_NS; q_rss+=("$T_RSS")
  run_timed "$work/fls.out" "${sleuthkit[@]}"; check fls
  f=$T_NS; f_rss+=("$T_RSS")
  run_timed "$work/fsck.out" "${floor[@]}"; check fsck
  k=$T_NS; k_rss+=("$T_RSS")
  q_s+=("$(secs "$q")"); f_s+=("$(secs "$f")"); k_s+=("$(secs "$k")")
  speedup+=("$(awk -v a="$f" -v b="$q" 'BEGIN { printf "%.2f", a / b }')")
  vs_floor+=("$(awk -v a="$q" -v b="$k" 'BEGIN { printf "%.2f", a / b }')")
done

rows=$(wc -l <"$work/quorvane.out")
fls_deleted=$(wc -l <"$work/fls.out")
fls_orphans=$(grep -c 'OrphanFiles' "$work/fls.out" || true)
med_speedup=$(median "${speedup[@]}")
med_floor=$(median "${vs_floor[@]}")
peak_q=$(maximum "${q_rss[@]}")
verdict() { if [[ $1 == 1 ]]; then echo "met"; else echo "MISSED"; fi; }

echo
echo "search --recurse --deleted-dirs --all C: ; warm page cache; $runs runs each, alternating"
printf '%-8s %12s %10s %12s %10s %10s\n' run "quorvane s" "fls s" "fsck.fat s" "fls/q" "q/fsck"
for ((i = 0; i < runs; i++)); do
  printf '%-8s %12s %10s %12s %10s %10s\n' "$((i + 1))" "${q_s[i]}" "${f_s[i]}" "${k_s[i]}" "${speedup[i]}" "${vs_floor[i]}"
done
printf '%-8s %12s %10s %12s %10s %10s\n' median "$(median "${q_s[@]}")" "$(median "${f_s[@]}")" "$(median "${k_s[@]}")" "$med_speedup" "$med_floor"
printf '%-8s %8s MiB %6s MiB %8s MiB\n' "peak RSS" "$(mib "$peak_q")" "$(mib "$(maximum "${f_rss[@]}")")" "$(mib "$(maximum "${k_rss[@]}")")"
echo
echo "rows listed by quorvane-cli: $rows"
echo "deleted entries reported by fls: $fls_deleted (of them under \$OrphanFiles: $fls_orphans; fls also lists deleted directories and empty files)"
echo
echo "target: at least ${min_speedup_vs_fls}x faster than fls -> ${med_speedup}x ($(verdict "$(awk -v r="$med_speedup" -v m="$min_speedup_vs_fls" 'BEGIN { print (r >= m) }')"))"
echo "target: peak RSS under $max_rss_mib MiB       -> $(mib "$peak_q") MiB ($(verdict "$(awk -v k="$peak_q" -v m="$max_rss_mib" 'BEGIN { print (k < m * 1024) }')"))"
echo "goal:   within ${goal_vs_fsck}x of fsck.fat -n     -> ${med_floor}x ($(verdict "$(awk -v r="$med_floor" -v m="$goal_vs_fsck" 'BEGIN { print (r <= m) }')"))"
