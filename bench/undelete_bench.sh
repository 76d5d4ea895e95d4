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

file_bytes=$((1024 * 1024 * 1024))
image_kib=$((4 * 1024 * 1024))
max_ratio=1.5
max_rss_mib=32

for tool in mkfs.fat mcopy mdel dd cmp python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done
[[ -x $cli ]] || { echo "quorvane-cli not found or not executable: $cli" >&2; exit 2; }
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")

mkdir -p "$scratch"
work=$(mktemp -d "$scratch/undelete.XXXXXX")
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1

now_ns() { date +%s%N; }
secs() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }

# run_timed OUT CMD...: runs CMD with stdout in OUT; sets T_NS (wall clock),
# T_CPU (user + system seconds), T_RSS (max RSS in KiB) and T_RC (exit status).
run_timed() {
  local out=$1 t0 t1
  shift
  T_RC=0
  t0=$(now_ns)
  /usr/bin/time -f '%M %U %S' -o "$work/time.txt" "$@" >"$out" 2>"$work/stderr.txt" </dev/null || T_RC=$?
  t1=$(now_ns)
  T_NS=$((t1 - t0))
  read -r T_RSS T_CPU <<<"$(tail -n 1 "$work/time.txt" | awk '{ printf "%s %.2f", $1, $2 + $3 }')"
}

minimum() { printf '%s\n' "$@" | sort -g | head -n 1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }

image=$work/volume.img
source_file=$work/original.bin
out_dir=$work/out
dd_target=$work/dd.bin
mkdir -p "$out_dir"

echo "== building the volume (scratch: $work)"
t0=$(now_ns)
mkfs.fat -F 32 -n QVBENCH -C "$image" "$image_kib" >/dev/null
head -c "$file_bytes" /dev/urandom >"$source_file"
t1=$(now_ns)
# Written first onto the fresh volume, so its clusters are consecutive.
mcopy -i "$image" "$source_file" ::/BIG.BIN
t2=$(now_ns)

# Reads the boot sector and the root directory; prints the first cluster,
# size and image byte offset of BIG.BIN. With "live" it also checks that the
# FAT chain is one consecutive run; with "deleted" that the entry carries the
# deleted mark and kept its first cluster and size.
locate() {
  python3 - "$image" "$1" <<'PY'
import struct, sys
path, state = sys.argv[1], sys.argv[2]
with open(path, "rb") as f:
    boot = f.read(512)
    bps, spc, reserved, nfats = struct.unpack_from("<HBHB", boot, 11)
    fat_sectors, = struct.unpack_from("<I", boot, 36)
    root, = struct.unpack_from("<I", boot, 44)
    data = reserved + nfats * fat_sectors
    def cluster_offset(c):
        return (data + (c - 2) * spc) * bps
    f.seek(cluster_offset(root))
    entries = f.read(bps * spc)
    found = None
    for i in range(0, len(entries), 32):
        e = entries[i:i + 32]
        if e[0] == 0:
            break
        if e[1:11] == b"IG     BIN" and e[11] != 0x0F:
            found = e
            break
    if found is None:
        sys.exit("BIG.BIN not in the root directory")
    hi, = struct.unpack_from("<H", found, 20)
    lo, = struct.unpack_from("<H", found, 26)
    size, = struct.unpack_from("<I", found, 28)
    first = hi << 16 | lo
    if state == "live":
        if found[0] != ord("B"):
            sys.exit("BIG.BIN is not live")
        n = (size + bps * spc - 1) // (bps * spc)
        f.seek(reserved * bps + first * 4)
        fat = f.read(n * 4)
        chain = struct.unpack("<%dI" % n, fat)
        for k, v in enumerate(chain[:-1]):
            if v & 0x0FFFFFFF != first + k + 1:
                sys.exit("BIG.BIN is not contiguous at cluster %d" % (first + k))
        if chain[-1] & 0x0FFFFFFF < 0x0FFFFFF8:
            sys.exit("BIG.BIN's chain does not end where its size does")
    elif found[0] != 0xE5:
        sys.exit("BIG.BIN carries no deleted mark")
    print(first, size, cluster_offset(first), bps * spc)
PY
}

where=$(locate live)
read -r first_cluster size offset cluster_bytes <<<"$where"
mdel -i "$image" ::/BIG.BIN
where=$(locate deleted)
read -r d_first d_size d_offset _ <<<"$where"
if [[ $d_first != "$first_cluster" || $d_size != "$size" || $d_offset != "$offset" ]]; then
  echo "the deleted entry lost its first cluster or size" >&2
  exit 1
fi
t3=$(now_ns)
echo "volume: 4 GiB FAT32 (sparse), cluster $cluster_bytes bytes"
echo "file:   BIG.BIN, $size bytes, first cluster $first_cluster, image offset $offset, contiguous"
echo "build:  mkfs + 1 GiB of random bytes $(secs $((t1 - t0))) s, mcopy $(secs $((t2 - t1))) s, mdel $(secs $((t3 - t2))) s"

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

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
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
