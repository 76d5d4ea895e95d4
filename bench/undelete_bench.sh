#!/usr/bin/env bash
# Times `quorvane-cli undelete` on a contiguous 1 GiB deleted file against dd
# copying the same byte range of the image, and reports the ratio and the
# CLI's peak memory.
#
# usage: bench/undelete_bench.sh [PATH-TO-quorvane-cli]
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp); about 4 GiB is
#                   needed there for a moment and removed at the end.
#        BENCH_RUNS timed runs of each side (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/quorvane-cli}
runs=${BENCH_RUNS:-5}
scratch=${BENCH_TMP:-/work/bench-tmp}

max_ratio=1.5
max_rss_mib=32

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
require_tools mkfs.fat mcopy mdel dd cmp python3 /usr/bin/time
cli=$(absolute_cli "$cli")

mkdir -p "$scratch"
work=$(mktemp -d "$scratch/undelete.XXXXXX")
trap 'rm -rf "$work"' EXIT

out_dir=$work/out
dd_target=$work/dd.bin
mkdir -p "$out_dir"

echo "== building the volume (scratch: $work)"
undelete_volume "$work"
image=$U_IMAGE
source_file=$U_ORIGINAL
offset=$U_OFFSET
size=$U_SIZE

undelete=("$cli" --drive "C:=$image" undelete -o "$out_dir" 'C:\BIG.BIN')
copy_range=(dd if="$image" of="$dd_target" bs=16M iflag=skip_bytes,count_bytes
  skip="$offset" count="$size" status=none)
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
cmp "$source_file" "$out_dir/BIG.BIN" || { echo "recovered file differs from the original" >&2; exit 1; }
echo "check:  recovered BIG.BIN equals the original (cmp)"
fresh_start
run_timed /dev/null "${copy_range[@]}"
[[ $T_RC -eq 0 ]] || { echo "dd failed" >&2; exit 1; }
rm -f "$source_file"

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

med_ratio=$(median "${ratio[@]}")
peak_cli=$(maximum "${cli_rss[@]}")
peak_dd=$(maximum "${dd_rss[@]}")
verdict() { if [[ $1 == 1 ]]; then echo "met"; else echo "MISSED"; fi; }

echo
echo "undelete of 1 GiB (contiguous, deleted by mdel); warm page cache, both read the same image;"
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
printf '%-8s %12s MiB %6s MiB\n' "peak RSS" "$(mib "$peak_cli")" "$(mib "$peak_dd")"
echo
echo "target: cli/dd at most $max_ratio    -> $med_ratio ($(verdict "$(awk -v r="$med_ratio" -v m="$max_ratio" 'BEGIN { print (r <= m) }')"))"
echo "target: peak RSS under $max_rss_mib MiB -> $(mib "$peak_cli") MiB ($(verdict "$(awk -v k="$peak_cli" -v m="$max_rss_mib" 'BEGIN { print (k < m * 1024) }')"))"
