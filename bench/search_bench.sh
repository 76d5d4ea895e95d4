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

for tool in mkfs.fat mcopy mdel mdeltree fls fsck.fat python3 sha256sum xargs /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done
[[ -x $cli ]] || { echo "quorvane-cli not found or not executable: $cli" >&2; exit 2; }
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
export MTOOLS_SKIP_CHECK=1

now_ns() { date +%s%N; }
secs() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# The tree: directories hang below random earlier ones (depth at most 6, no
# extensions in their names), 20 of them hold 1,050 to 2,400 files, the rest
# share what is left. Names are mostly 8.3, some long (with blanks). Sizes are
# mostly a few hundred bytes to a few KiB; 1% are empty and a few reach 64 KiB.
# Then about 300 directories (with all below them) and 40% of the other
# files are chosen for deletion: about half of all files in the end. Seeded,
# so every build makes the same volume.
generator=$(cat <<'PY'
import os, random, sys
root, listdir = sys.argv[1], sys.argv[2]
rng = random.Random(20261206)
WORDS = ["report", "budget", "notes", "photo", "letter", "invoice", "backup", "draft", "summary",
         "minutes", "agenda", "contract", "scan", "memo", "plan", "data", "export", "readme",
         "index", "archive"]
EXTS = ["TXT", "DOC", "XLS", "JPG", "PDF", "DAT", "CSV", "LOG", "INI", "BMP", "HTM", "ZIP"]
N_DIRS, N_FILES, N_BIG, N_DELETED_DIRS = 10000, 100000, 20, 300
blob = rng.randbytes(65536)
taken = {}

def fresh(parent, make):
    # Names must differ without regard to case: FAT folds them.
    seen = taken.setdefault(parent, set())
    while True:
        n = make()
        if n.lower() not in seen:
            seen.add(n.lower())
            return n

def dir_name():
    if rng.random() < 0.12:
        return "%s_%s_%d" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS), rng.randrange(1000))
    return "%s%d" % (rng.choice(WORDS)[:4].upper(), rng.randrange(10000))

def file_name():
    if rng.random() < 0.15:
        return "%s %s %04d.%s" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS),
                                  rng.randrange(10000), rng.choice(EXTS).lower())
    return "%s%04d.%s" % (rng.choice(WORDS)[:4].upper(), rng.randrange(10000), rng.choice(EXTS))

dirs = [("", 0)]
while len(dirs) <= N_DIRS:
    parent, depth = dirs[0] if len(dirs) <= 40 else dirs[rng.randrange(1, len(dirs))]
    if depth >= 6:
        continue
    name = fresh(parent, dir_name)
    dirs.append((parent + "/" + name if parent else name, depth + 1))
for p, _ in dirs[1:]:
    os.makedirs(os.path.join(root, p), exist_ok=True)

counts = [0] * len(dirs)
big = rng.sample(range(1, len(dirs)), N_BIG)
for b in big:
    counts[b] = rng.randrange(1050, 2400)
for _ in range(N_FILES - sum(counts)):
    counts[rng.randrange(len(dirs))] += 1

files = []
for k, (p, _) in enumerate(dirs):
    for _ in range(counts[k]):
        rel = (p + "/" if p else "") + fresh(p, file_name)
        r = rng.random()
        if r < 0.01:
            size = 0
        elif r < 0.015:
            size = rng.randrange(8192, 65536)
        else:
            size = int(min(6000, max(40, rng.lognormvariate(6.8, 0.8))))
        with open(os.path.join(root, rel), "wb") as f:
            f.write(blob[:size])
        files.append(rel)

def related(a, b):
    return a.startswith(b + "/") or b.startswith(a + "/") or a == b

chosen = []
for k in rng.sample([k for k, (_, d) in enumerate(dirs) if d >= 2], 2000) + big[:2]:
    if len(chosen) >= N_DELETED_DIRS and k not in big:
        continue
    if not any(related(dirs[k][0], c) for c in chosen):
        chosen.append(dirs[k][0])
prefixes = tuple(c + "/" for c in chosen)
doomed = [f for f in files if rng.random() < 0.4 and not f.startswith(prefixes)]
with open(os.path.join(listdir, "delete-files.txt"), "w") as f:
    f.writelines("::/" + x + "\n" for x in doomed)
with open(os.path.join(listdir, "delete-dirs.txt"), "w") as f:
    f.writelines("::/" + x + "\n" for x in chosen)
under = sum(1 for f in files if f.startswith(prefixes))
print("%d directories, %d files; deleted: %d files, %d directories holding %d more files"
      % (len(dirs) - 1, len(files), len(doomed), len(chosen), under))
PY
)
image_kib=$((1024 * 1024))
mkfs_args=(-F 32 -s 8 -n QVSEARCH)
recipe=$(printf '%s\n' "$generator" "$image_kib" "${mkfs_args[@]}" "mcopy -s; xargs mdel; xargs mdeltree" | sha256sum | cut -c1-16)

cache=$scratch/search-volume
image=$cache/search.img
stamp=$cache/stamp
mkdir -p "$cache"

if [[ $rebuild == 1 || ! -f $image || ! -f $stamp || $(head -n 1 "$stamp") != "$recipe" ]]; then
  echo "== building the volume in $cache"
  rm -f "$image" "$stamp"
  tree=$(mktemp -d "$scratch/search-tree.XXXXXX")
  trap 'rm -rf "$tree"' EXIT
  t0=$(now_ns)
  summary=$(python3 -c "$generator" "$tree/root" "$tree")
  t1=$(now_ns)
  mkfs.fat "${mkfs_args[@]}" -C "$image.part" "$image_kib" >/dev/null
  (cd "$tree/root" && mcopy -s -i "$image.part" -- * ::/ </dev/null)
  t2=$(now_ns)
  xargs -d '\n' -s 2000000 -a "$tree/delete-files.txt" mdel -i "$image.part" </dev/null
  xargs -d '\n' -s 2000000 -a "$tree/delete-dirs.txt" mdeltree -i "$image.part" </dev/null
  t3=$(now_ns)
  mv "$image.part" "$image"
  {
    echo "$recipe"
    echo "$summary"
    echo "built $(date -u '+%Y-%m-%d %H:%M UTC'): host tree $(secs $((t1 - t0))) s, mkfs + mcopy -s $(secs $((t2 - t1))) s, mdel + mdeltree $(secs $((t3 - t2))) s, total $(secs $((t3 - t0))) s"
  } >"$stamp"
  rm -rf "$tree"
  trap - EXIT
else
  echo "== reusing the volume in $cache (--rebuild to make it again)"
fi
echo "volume: 1 GiB FAT32 (sparse), 4 KiB clusters; $(sed -n 2p "$stamp")"
echo "        $(sed -n 3p "$stamp")"

work=$(mktemp -d "$scratch/search-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# run_timed OUT CMD...: runs CMD with stdout in OUT; sets T_NS (wall clock),
# T_RSS (max RSS in KiB) and T_RC (exit status).
run_timed() {
  local out=$1 t0 t1
  shift
  T_RC=0
  t0=$(now_ns)
  /usr/bin/time -f '%M' -o "$work/time.txt" "$@" >"$out" 2>"$work/stderr.txt" </dev/null || T_RC=$?
  t1=$(now_ns)
  T_NS=$((t1 - t0))
  T_RSS=$(tail -n 1 "$work/time.txt")
}

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
