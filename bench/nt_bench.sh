#!/usr/bin/env bash
# Files deleted as the NT family deletes them (the high word of the first
# cluster cleared): how many `quorvane-cli undelete --nt-deleted` brings back
# byte for byte, beside what an ideal chooser could (the classic recovery
# from the true first cluster, before the high words are cleared), with the
# candidates that the FAT alone and the FAT with the content leave; then
# `search --recurse --deleted-dirs --nt-deleted --details C:` against the
# plain search on the 100,000-file search volume, with the candidates'
# single-sector reads timed alone by a bare pread loop (needs strace and
# g++); and both searches on a sparse 256 GiB volume, where each file has
# 1,024 candidates.
#
# The NT volume: 1 GiB FAT32 with 4 KiB clusters (262,144 of them); 60
# files, then a 320 MiB live filler, then 340 files past cluster 65,536:
# JPEG, PNG, PDF, DOCX (real ZIPs), text and raw binary, 1 KiB to 600 KiB,
# long names; every other file deleted with mdel, then the high words of
# the deleted entries cleared.
#
# usage: bench/nt_bench.sh [--rebuild] [CLI]     (CLI default build/quorvane-cli)
# env:   BENCH_TMP, BENCH_RUNS as for the other scripts.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/lib.sh
source "$here/lib.sh"
rebuild=0
cli_arg=build/quorvane-cli
for arg in "$@"; do
  case $arg in
    --rebuild) rebuild=1 ;;
    -h | --help) sed -n '2,21p' "$0"; exit 0 ;;
    *) cli_arg=$arg ;;
  esac
done
cli=$(absolute_cli "$cli_arg")
runs=${BENCH_RUNS:-5}
require_tools mkfs.fat mcopy mdel python3 /usr/bin/time
mkdir -p "$bench_scratch"
work=$(mktemp -d "$bench_scratch/nt.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "== building the NT volume"
python3 - "$work" <<'PY'
import io, os, random, struct, sys, zipfile, zlib
work = sys.argv[1]
rng = random.Random(20261207)
os.makedirs(f"{work}/files")
words = "holiday letter report budget minutes photo scan invoice notes draft final summer".split()

def jpeg(n): return b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + rng.randbytes(n - 11)
def png(n):
    head = b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">IIBBBBB", 64, 64, 8, 2, 0, 0, 0)
    return head + struct.pack(">I", zlib.crc32(head[12:])) + rng.randbytes(n - len(head) - 4)
def pdf(n): return (b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n" + rng.randbytes(n))[:n]
def docx(n):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as z:
        z.writestr("[Content_Types].xml", "<Types/>")
        z.writestr("word/media/image1.bin", rng.randbytes(n))
    return buffer.getvalue()
def text(n):
    out = []
    while sum(map(len, out)) < n:
        out.append(" ".join(rng.choice(words) for _ in range(12)) + ".\n")
    return "".join(out).encode()[:n]
def raw(n): return rng.randbytes(n)
kinds = [("jpg", jpeg), ("png", png), ("pdf", pdf), ("docx", docx), ("txt", text), ("bin", raw)]
with open(f"{work}/order.txt", "w") as order:
    for i in range(400):
        ext, make = kinds[(i // 2) % len(kinds)]  # deleted and kept files alike of every kind
        name = f"{rng.choice(words).capitalize()} {rng.choice(words)} {i:03d}.{ext}"
        size = int(1024 * (600 ** rng.random()))
        with open(f"{work}/files/{name}", "wb") as f:
            f.write(make(size))
        order.write(name + "\n")
PY
image=$work/nt.img
mkfs.fat -F 32 -s 8 -C "$image" $((1024 * 1024)) >/dev/null
export MTOOLS_SKIP_CHECK=1
mapfile -t names <"$work/order.txt"
(cd "$work/files" && mcopy -i "$image" -- "${names[@]:0:60}" ::/ </dev/null)
head -c $((320 << 20)) /dev/zero >"$work/FILLER.BIN"
mcopy -i "$image" "$work/FILLER.BIN" ::/FILLER.BIN </dev/null
rm "$work/FILLER.BIN"
(cd "$work/files" && mcopy -i "$image" -- "${names[@]:60}" ::/ </dev/null)
doomed=()
for ((i = 0; i < ${#names[@]}; i += 2)); do doomed+=("::/${names[i]}"); done
mdel -i "$image" "${doomed[@]}" </dev/null

# The rows before the high words go: the true first clusters and the long
# names; then the ideal chooser's recoveries (the classic one from the true
# cluster) and the counts of candidates.
"$cli" --drive "C:=$image" search --all --details --json C: >"$work/rows.json"
python3 - "$work" "$image" "$cli" <<'PY'
import json, os, struct, subprocess, sys
work, image, cli = sys.argv[1:]
rows = [json.loads(line) for line in open(f"{work}/rows.json")]
data = bytearray(open(image, "rb").read())
spc, reserved, fats = data[13], struct.unpack_from("<H", data, 14)[0], data[16]
fat_size, root = struct.unpack_from("<I", data, 36)[0], struct.unpack_from("<I", data, 44)[0]
total = struct.unpack_from("<I", data, 32)[0]
first_data = reserved + fats * fat_size
last = min((total - first_data) // spc + 1, fat_size * 128 - 1)
cluster_bytes = spc * 512
def fat(c): return struct.unpack_from("<I", data, reserved * 512 + 4 * c)[0] & 0x0FFFFFFF
def head(c, n): o = (first_data + (c - 2) * spc) * 512; return bytes(data[o:o + min(n, cluster_bytes)])
def room(c, size):
    need, taken = max(1, -(-size // cluster_bytes)), 0
    while taken < need:
        if c > last: return False
        if fat(c) == 0: taken += 1
        elif taken == 0: return False
        c += 1
    return True
def judge(ext, b):
    ext = ext.lower()
    magic = {"jpg": b"\xff\xd8\xff", "png": b"\x89PNG\r\n\x1a\n", "pdf": b"%PDF-", "docx": b"PK\x03\x04"}
    if ext in magic: return b.startswith(magic[ext])
    if ext == "txt": return len(b) > 0 and all(x >= 0x20 or x in b"\t\n\r\f\x1b" for x in b)
    return None  # not judged
stats = {"files": 0, "high": 0, "ideal": 0, "fat_many": 0, "content_many": 0}
for row in rows:
    name = row["long_path"].split("\\")[-1]
    original = open(f"{work}/files/{name}", "rb").read()
    stats["files"] += 1
    true_first = row["first_cluster"]
    if true_first >= 65536: stats["high"] += 1
    low = true_first & 0xFFFF
    left = [c for c in range(low, last + 1, 65536) if c >= 2 and room(c, row["size"])]
    stats["fat_many"] += len(left) > 1
    ext = name.rsplit(".", 1)[-1]
    verdicts = [judge(ext, head(c, row["size"])) for c in left]
    if any(v is not False for v in verdicts): left = [c for c, v in zip(left, verdicts) if v is not False]
    if any(verdicts): left = [c for c, v in zip(left, verdicts) if v]
    stats["content_many"] += len(left) > 1
    out = f"{work}/ideal"
    os.makedirs(out, exist_ok=True)
    subprocess.run([cli, "--quiet", "--drive", f"C:={image}", "undelete", "-o", out, "--hex", row["path_hex"]],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    got = os.path.join(out, os.listdir(out)[0]) if os.listdir(out) else None
    stats["ideal"] += got is not None and open(got, "rb").read() == original
    if got: os.remove(got)
# Now as the NT family leaves the volume: every deleted entry's high word cleared.
cleared = 0
c = root
while 2 <= c < 0x0FFFFFF8:
    o = (first_data + (c - 2) * spc) * 512
    for e in range(o, o + cluster_bytes, 32):
        if data[e] == 0: break
        if data[e] == 0xE5 and data[e + 11] != 0x0F:
            cleared += struct.unpack_from("<H", data, e + 20)[0] != 0
            struct.pack_into("<H", data, e + 20, 0)
    c = fat(c)
open(image, "wb").write(data)
ours = 0
for row in rows:
    name = row["long_path"].split("\\")[-1]
    out = f"{work}/ours"
    os.makedirs(out, exist_ok=True)
    subprocess.run([cli, "--quiet", "--drive", f"C:={image}", "undelete", "-o", out, "--nt-deleted", "--hex",
                    row["path_hex"]], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    got = os.path.join(out, os.listdir(out)[0]) if os.listdir(out) else None
    ours += got is not None and open(got, "rb").read() == open(f"{work}/files/{name}", "rb").read()
    if got: os.remove(got)
n = stats["files"]
print(f"deleted files: {n} ({stats['high']} past cluster 65,536, {cleared} high words cleared)")
print(f"candidates: more than one left by the FAT alone for {stats['fat_many']} files, "
      f"by the FAT and the content for {stats['content_many']}")
print(f"{'recovered byte for byte':40} {'files':>6} {'share':>7}")
print(f"{'ideal chooser (true first cluster)':40} {stats['ideal']:>6} {100 * stats['ideal'] / n:>6.1f}%")
print(f"{'quorvane-cli undelete --nt-deleted':40} {ours:>6} {100 * ours / n:>6.1f}%")
gap = 100 * (stats["ideal"] - ours) / n
print(f"gap to the ideal chooser: {gap:.1f} points (target: at most 3)")
PY

echo
echo "== search --nt-deleted --details against the plain search"
search_volume "$rebuild"
plain=() detailed=() plain_cpu=() detailed_cpu=() detailed_rss=()
for ((run = 1; run <= runs; run++)); do
  run_timed "$work/plain.txt" "$cli" --drive "C:=$S_IMAGE" search --recurse --deleted-dirs C:
  plain+=("$T_NS") plain_cpu+=("$T_CPU_MS")
  run_timed "$work/detailed.txt" "$cli" --drive "C:=$S_IMAGE" search --recurse --deleted-dirs --nt-deleted --details C:
  detailed+=("$T_NS") detailed_cpu+=("$T_CPU_MS") detailed_rss+=("$T_RSS")
done
printf '%-44s %12s %12s %8s\n' "" "plain" "nt+details" "ratio"
pm=$(median "${plain[@]}") dm=$(median "${detailed[@]}")
printf '%-44s %12s %12s %8s\n' "wall s, median of $runs" "$(secs "$pm")" "$(secs "$dm")" \
  "$(awk -v a="$dm" -v b="$pm" 'BEGIN { printf "%.2f", a / b }')"
pc=$(median "${plain_cpu[@]}") dc=$(median "${detailed_cpu[@]}")
printf '%-44s %12s %12s %8s\n' "cpu ms (user+sys), median" "$pc" "$dc" \
  "$(awk -v a="$dc" -v b="$pc" 'BEGIN { printf "%.2f", a / b }')"
printf '%-44s %12s %12s\n' "rows" "$(wc -l <"$work/plain.txt")" "$(wc -l <"$work/detailed.txt")"
printf '%-44s %12s %12s\n' "peak RSS MiB (nt+details), max" "" "$(mib "$(maximum "${detailed_rss[@]}")")"
echo "targets: ratio at most 2; peak RSS under 64 MiB"

# What judging the candidates costs in reads alone: the single sectors the
# detailed search reads beyond the plain one (the first sector of each
# candidate cluster and the FAT sectors of far candidates, as strace sees
# them), read again by a bare pread loop compiled here, beside the plain
# search's whole run.
if command -v strace >/dev/null && command -v g++ >/dev/null; then
  strace -o "$work/plain.trace" -e trace=pread64 "$cli" --drive "C:=$S_IMAGE" search --recurse \
    --deleted-dirs C: >/dev/null
  strace -o "$work/detailed.trace" -e trace=pread64 "$cli" --drive "C:=$S_IMAGE" search --recurse \
    --deleted-dirs --nt-deleted --details C: >/dev/null
  # pread64(fd, "...", 512, offset) = 512: the candidates' reads, the boot sector's left out.
  sed -nE 's/.*, 512, ([1-9][0-9]*)\) = 512$/\1/p' "$work/detailed.trace" >"$work/candidates.txt"
  cat >"$work/preads.cpp" <<'CPP'
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>
int main(int argc, char** argv) {
  std::vector<off_t> offsets;
  std::ifstream list(argv[2]);
  for (off_t o; list >> o;) offsets.push_back(o);
  const int fd = open(argv[1], O_RDONLY);
  char sector[512];
  const auto start = std::chrono::steady_clock::now();
  for (off_t o : offsets)
    if (pread(fd, sector, sizeof sector, o) != sizeof sector) return 1;
  std::printf("%lld\n", static_cast<long long>((std::chrono::steady_clock::now() - start).count()));
}
CPP
  g++ -O2 -o "$work/preads" "$work/preads.cpp"
  reads=()
  for ((run = 1; run <= runs; run++)); do reads+=("$("$work/preads" "$S_IMAGE" "$work/candidates.txt")"); done
  rm_ns=$(median "${reads[@]}")
  echo
  printf '%-44s %12s %12s\n' "preads" "$(wc -l <"$work/plain.trace")" "$(wc -l <"$work/detailed.trace")"
  printf '%-44s %12s\n' "single-sector reads (candidates, FAT sectors)" "$(wc -l <"$work/candidates.txt")"
  printf '%-44s %12s %12s %8s\n' "those reads alone by pread, s, median" "" "$(secs "$rm_ns")" \
    "$(awk -v a="$rm_ns" -v b="$pm" 'BEGIN { printf "%.2f", a / b }')"
  echo "(the last ratio is to the plain search's median wall time)"
fi

echo
echo "== many bands: a sparse 256 GiB volume of 4 KiB clusters (1,024 candidates a file)"
big=$work/big.img
mkfs.fat -F 32 -s 8 -C "$big" $((256 * 1024 * 1024)) >/dev/null
python3 - "$work/big" <<'PY'
import os, random, sys
rng = random.Random(20261207)
os.makedirs(sys.argv[1])
for i in range(200):
    with open(f"{sys.argv[1]}/F{i:03d}.TXT", "wb") as f:
        f.write(rng.randbytes(rng.randrange(100, 20000)))
PY
mmd -i "$big" ::/DOCS </dev/null
mcopy -i "$big" "$work"/big/* ::/DOCS/ </dev/null
mdel -i "$big" '::/DOCS/F1*.TXT' </dev/null
big_plain=() big_nt=()
for ((run = 1; run <= runs; run++)); do
  run_timed "$work/big-plain.txt" "$cli" --drive "C:=$big" search --recurse C:
  big_plain+=("$T_NS")
  run_timed "$work/big-nt.txt" "$cli" --drive "C:=$big" search --recurse --nt-deleted --details C:
  big_nt+=("$T_NS")
done
printf '%-44s %12s %12s\n' "" "plain" "nt+details"
printf '%-44s %12s %12s\n' "wall s, median of $runs" "$(secs "$(median "${big_plain[@]}")")" \
  "$(secs "$(median "${big_nt[@]}")")"
printf '%-44s %12s %12s\n' "rows" "$(wc -l <"$work/big-plain.txt")" "$(wc -l <"$work/big-nt.txt")"
rm -f "$big"
