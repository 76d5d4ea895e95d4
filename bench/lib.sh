# Shared by the benchmark scripts (sourced, not run): the volume builders,
# the page-4 harness build, timing and small statistics. Every function
# writes only below BENCH_TMP (default /work/bench-tmp) or a folder it is
# given.
#
# Callers set `work` (a scratch folder of their own) before run_timed.
# shellcheck shell=bash
# shellcheck disable=SC2034  # the results are read by the callers

bench_scratch=${BENCH_TMP:-/work/bench-tmp}
export MTOOLS_SKIP_CHECK=1

# require_tools TOOL...: stops when one is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
  done
}

# absolute_cli PATH: prints the absolute path of an executable quorvane-cli.
absolute_cli() {
  [[ -x $1 && -f $1 ]] || { echo "quorvane-cli not found or not executable: $1" >&2; exit 2; }
  echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
}

now_ns() { date +%s%N; }
secs() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
minimum() { printf '%s\n' "$@" | sort -g | head -n 1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# run_timed OUT CMD...: runs CMD with stdin from /dev/null, stdout in OUT
# and stderr in $work/stderr.txt; sets T_NS (wall clock), T_CPU (user +
# system seconds, two decimals), T_CPU_MS (the same in milliseconds, to the
# microsecond), T_RSS (max RSS in KiB) and T_RC (exit status). GNU time runs
# CMD and reports its peak RSS; the times come from the kernel's accounting
# (wait4) of GNU time, CMD and the children they waited for, which is finer
# than GNU time's hundredths (and adds GNU time's own, well under a
# millisecond).
run_timed() {
  local out=$1
  shift
  python3 - "$out" "$work/stderr.txt" "$work/time.txt" "$@" <<'PY'
import os, sys, time
out, err, report, argv = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
argv = ["/usr/bin/time", "-f", "%M", "-o", report + ".rss"] + argv
actions = [(os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0),
           (os.POSIX_SPAWN_OPEN, 1, out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
           (os.POSIX_SPAWN_OPEN, 2, err, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)]
t0 = time.perf_counter_ns()
pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
_, status, usage = os.wait4(pid, 0)
ns = time.perf_counter_ns() - t0
rc = os.waitstatus_to_exitcode(status)
cpu_us = round((usage.ru_utime + usage.ru_stime) * 1e6)
with open(report + ".rss") as f:
    rss = f.read().split()[-1]
with open(report, "w") as f:
    f.write("%d %d %s %d\n" % (ns, cpu_us, rss, rc))
PY
  read -r T_NS T_CPU_MS T_RSS T_RC <"$work/time.txt"
  T_CPU=$(awk -v us="$T_CPU_MS" 'BEGIN { printf "%.2f", us / 1e6 }')
  T_CPU_MS=$(awk -v us="$T_CPU_MS" 'BEGIN { printf "%.3f", us / 1e3 }')
}

# --- the undelete volume ------------------------------------------------------

undelete_file_bytes=$((1024 * 1024 * 1024))
undelete_image_kib=$((4 * 1024 * 1024))

# undelete_locate IMAGE live|deleted: reads the boot sector and the root
# directory; prints the first cluster, size and image byte offset of BIG.BIN
# and the cluster size. With "live" it also checks that the FAT chain is one
# consecutive run; with "deleted" that the entry carries the deleted mark and
# kept its first cluster and size.
undelete_locate() {
  python3 - "$1" "$2" <<'PY'
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

# undelete_volume DIR: makes DIR/volume.img, a sparse 4 GiB FAT32 image, writes
# DIR/original.bin (1 GiB of random bytes) onto the fresh volume (so its
# clusters are consecutive) and deletes it with mdel. Sets U_IMAGE, U_ORIGINAL,
# U_FIRST (first cluster), U_SIZE, U_OFFSET (image byte offset) and
# U_CLUSTER_BYTES, and prints what it made. The caller removes DIR.
undelete_volume() {
  local dir=$1 t0 t1 t2 t3 where d_first d_size d_offset
  U_IMAGE=$dir/volume.img
  U_ORIGINAL=$dir/original.bin
  t0=$(now_ns)
  mkfs.fat -F 32 -n QVBENCH -C "$U_IMAGE" "$undelete_image_kib" >/dev/null
  head -c "$undelete_file_bytes" /dev/urandom >"$U_ORIGINAL"
  t1=$(now_ns)
  # Written first onto the fresh volume, so its clusters are consecutive.
  mcopy -i "$U_IMAGE" "$U_ORIGINAL" ::/BIG.BIN
  t2=$(now_ns)
  where=$(undelete_locate "$U_IMAGE" live)
  read -r U_FIRST U_SIZE U_OFFSET U_CLUSTER_BYTES <<<"$where"
  mdel -i "$U_IMAGE" ::/BIG.BIN
  where=$(undelete_locate "$U_IMAGE" deleted)
  read -r d_first d_size d_offset _ <<<"$where"
  if [[ $d_first != "$U_FIRST" || $d_size != "$U_SIZE" || $d_offset != "$U_OFFSET" ]]; then
    echo "the deleted entry lost its first cluster or size" >&2
    exit 1
  fi
  t3=$(now_ns)
  echo "volume: 4 GiB FAT32 (sparse), cluster $U_CLUSTER_BYTES bytes"
  echo "file:   BIG.BIN, $U_SIZE bytes, first cluster $U_FIRST, image offset $U_OFFSET, contiguous"
  echo "build:  mkfs + 1 GiB of random bytes $(secs $((t1 - t0))) s, mcopy $(secs $((t2 - t1))) s, mdel $(secs $((t3 - t2))) s"
}

# --- the search volume --------------------------------------------------------

# The tree: directories hang below random earlier ones (depth at most 6, no
# extensions in their names), 20 of them hold 1,050 to 2,400 files, the rest
# share what is left. Names are mostly 8.3, some long (with blanks). Sizes are
# mostly a few hundred bytes to a few KiB; 1% are empty and a few reach 64 KiB.
# Then about 300 directories (with all below them) and 40% of the other
# files are chosen for deletion: about half of all files in the end. Seeded,
# so every build makes the same volume.
search_generator=$(cat <<'PY'
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

# search_volume REBUILD: makes (or, while its recipe is unchanged and REBUILD
# is 0, reuses) BENCH_TMP/search-volume/search.img; sets S_IMAGE and prints
# what it holds.
search_volume() {
  local rebuild=$1 image_kib=$((1024 * 1024)) mkfs_args=(-F 32 -s 8 -n QVSEARCH)
  local recipe cache stamp
  recipe=$(printf '%s\n' "$search_generator" "$image_kib" "${mkfs_args[@]}" "mcopy -s; xargs mdel; xargs mdeltree" | sha256sum | cut -c1-16)
  cache=$bench_scratch/search-volume
  S_IMAGE=$cache/search.img
  stamp=$cache/stamp
  mkdir -p "$cache"
  if [[ $rebuild == 1 || ! -f $S_IMAGE || ! -f $stamp || $(head -n 1 "$stamp") != "$recipe" ]]; then
    echo "== building the volume in $cache"
    rm -f "$S_IMAGE" "$S_IMAGE.part" "$stamp"
    (
      set -e
      tree=$(mktemp -d "$bench_scratch/search-tree.XXXXXX")
      trap 'rm -rf "$tree"' EXIT
      t0=$(now_ns)
      summary=$(python3 -c "$search_generator" "$tree/root" "$tree")
      t1=$(now_ns)
      mkfs.fat "${mkfs_args[@]}" -C "$S_IMAGE.part" "$image_kib" >/dev/null
      (cd "$tree/root" && mcopy -s -i "$S_IMAGE.part" -- * ::/ </dev/null)
      t2=$(now_ns)
      xargs -d '\n' -s 2000000 -a "$tree/delete-files.txt" mdel -i "$S_IMAGE.part" </dev/null
      xargs -d '\n' -s 2000000 -a "$tree/delete-dirs.txt" mdeltree -i "$S_IMAGE.part" </dev/null
      t3=$(now_ns)
      mv "$S_IMAGE.part" "$S_IMAGE"
      {
        echo "$recipe"
        echo "$summary"
        echo "built $(date -u '+%Y-%m-%d %H:%M UTC'): host tree $(secs $((t1 - t0))) s, mkfs + mcopy -s $(secs $((t2 - t1))) s, mdel + mdeltree $(secs $((t3 - t2))) s, total $(secs $((t3 - t0))) s"
      } >"$stamp"
    )
  else
    echo "== reusing the volume in $cache (--rebuild to make it again)"
  fi
  echo "volume: 1 GiB FAT32 (sparse), 4 KiB clusters; $(sed -n 2p "$stamp")"
  echo "        $(sed -n 3p "$stamp")"
}

# --- the page-4 volume and harness --------------------------------------------

page4_generator=$(cat <<'PY'
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

# page4_volume REBUILD: makes (or reuses, as search_volume does)
# BENCH_TMP/page4-volume/page4.img: 1,000 directories of 100 files each (one
# in ten with a long name), every file deleted with mdel. Sets P4_IMAGE.
page4_volume() {
  local rebuild=$1 image_kib=$((128 * 1024)) mkfs_args=(-F 32 -s 1 -n QVPAGE4)
  local recipe cache stamp
  recipe=$(printf '%s\n' "$page4_generator" "$image_kib" "${mkfs_args[@]}" "mcopy -s; mdel D*/*" | sha256sum | cut -c1-16)
  cache=$bench_scratch/page4-volume
  P4_IMAGE=$cache/page4.img
  stamp=$cache/stamp
  mkdir -p "$cache"
  if [[ $rebuild == 1 || ! -f $P4_IMAGE || ! -f $stamp || $(head -n 1 "$stamp") != "$recipe" ]]; then
    echo "== building the volume in $cache"
    rm -f "$P4_IMAGE" "$P4_IMAGE.part" "$stamp"
    (
      set -e
      # The host tree of 100,000 small files goes to memory where there is some.
      tree=$(mktemp -d "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/page4-tree.XXXXXX")
      trap 'rm -rf "$tree"' EXIT
      python3 -c "$page4_generator" "$tree/root"
      mkfs.fat "${mkfs_args[@]}" -C "$P4_IMAGE.part" "$image_kib" >/dev/null
      (cd "$tree/root" && mcopy -s -i "$P4_IMAGE.part" -- * ::/ </dev/null)
      (cd "$tree/root" && for d in D*; do echo "::/$d/*"; done) >"$tree/delete.txt"
      xargs -d '\n' -s 200000 -a "$tree/delete.txt" mdel -i "$P4_IMAGE.part" </dev/null
      mv "$P4_IMAGE.part" "$P4_IMAGE"
      echo "$recipe" >"$stamp"
    )
  else
    echo "== reusing the volume in $cache (--rebuild to make it again)"
  fi
}

# page4_build SOURCE-TREE BUILD-DIR: builds the tree's page-4 harness
# (SOURCE-TREE/bench/page4, which takes in the whole program) and its
# quorvane-cli, optimised, in BUILD-DIR.
page4_build() {
  cmake -S "$1/bench/page4" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -Wno-dev >/dev/null
  ninja -C "$2" page4_bench quorvane-cli >/dev/null
}

# page4_runtime_dir: prints a fresh private XDG_RUNTIME_DIR for the offscreen
# harness; the caller removes it.
page4_runtime_dir() {
  local runtime
  runtime=$(mktemp -d "${TMPDIR:-/tmp}/page4-runtime.XXXXXX")
  chmod 700 "$runtime"
  echo "$runtime"
}

# --- exFAT volumes ------------------------------------------------------------

# exfat_mount IMAGE DIR: attaches IMAGE to a free loop device and mounts it
# on DIR with exfat-fuse (which refuses plain files); sets EX_LOOP.
exfat_mount() {
  EX_LOOP=$(losetup --find --show "$1")
  if ! mount.exfat-fuse "$EX_LOOP" "$2" >/dev/null; then
    losetup -d "$EX_LOOP"
    EX_LOOP=
    return 1
  fi
}

# exfat_unmount IMAGE DIR: unmounts DIR and detaches the loop device, then
# waits until the device is gone: detaching one that exfat-fuse still holds
# only marks it to go at its last close, and only after that is every write
# in the image file.
exfat_unmount() {
  local i
  sync
  mountpoint -q "$2" && umount "$2"
  [[ -z ${EX_LOOP:-} ]] || losetup -d "$EX_LOOP"
  EX_LOOP=
  for ((i = 0; i < 400; i++)); do
    [[ -n $(losetup -j "$1") ]] || return 0
    sleep 0.025
  done
  echo "the loop device over $1 did not go" >&2
  return 1
}

# exfat_locate IMAGE NAME live|deleted: reads the boot sector and the root
# directory's first cluster; prints the first cluster, data length and image
# byte offset of the file NAME and the cluster size. With "live" it checks
# that the file's stream extension says NoFatChain (its clusters are one
# consecutive run, the FAT is not used); with "deleted" that the entry set's
# in-use bits are clear and that it kept its first cluster and length.
exfat_locate() {
  python3 - "$1" "$2" "$3" <<'PY'
import struct, sys
path, name, state = sys.argv[1], sys.argv[2], sys.argv[3]
with open(path, "rb") as f:
    boot = f.read(512)
    if boot[3:11] != b"EXFAT   ":
        sys.exit("no exFAT boot sector")
    heap, count, root = struct.unpack_from("<III", boot, 88)
    sector = 1 << boot[108]
    cluster = sector << boot[109]
    def cluster_offset(c):
        return heap * sector + (c - 2) * cluster
    f.seek(cluster_offset(root))
    entries = f.read(cluster)
found = None
for i in range(0, len(entries) - 64, 32):
    kind = entries[i]
    if kind == 0:
        break
    if kind & 0x7F != 0x05:  # a File entry, live (0x85) or deleted (0x05)
        continue
    secondaries = entries[i + 1]
    stream = entries[i + 32:i + 64]
    names = entries[i + 64:i + 32 * (secondaries + 1)]
    length = stream[3]
    text = b"".join(names[k + 2:k + 32] for k in range(0, len(names), 32)).decode("utf-16-le")[:length]
    if text == name:
        found = (kind, stream)
        break
if found is None:
    sys.exit("%s is not in the root directory" % name)
kind, stream = found
flags = stream[1]
first, size = struct.unpack_from("<IQ", stream, 20)
if state == "live":
    if kind != 0x85 or stream[0] != 0xC0:
        sys.exit("%s is not live" % name)
    if not flags & 2:
        sys.exit("%s has a FAT chain (no NoFatChain flag): its clusters may be scattered" % name)
elif kind != 0x05 or stream[0] != 0x40:
    sys.exit("%s's entry set still has its in-use bits" % name)
if not 2 <= first < count + 2 or first + (size + cluster - 1) // cluster > count + 2:
    sys.exit("%s's clusters lie outside the volume" % name)
print(first, size, cluster_offset(first), cluster, "nofatchain" if flags & 2 else "chain")
PY
}

# exfat_undelete_volume DIR: makes DIR/volume.img, a sparse 4 GiB exFAT image
# of 4 KiB clusters (as many as the FAT32 undelete volume), writes
# DIR/original.bin (1 GiB of random bytes) onto the fresh volume in one go
# through exfat-fuse (so it is one run of clusters, NoFatChain) and deletes
# it with rm. Sets U_IMAGE, U_ORIGINAL, U_FIRST (first cluster), U_SIZE,
# U_OFFSET (image byte offset) and U_CLUSTER_BYTES, and prints what it made.
# The caller removes DIR.
exfat_undelete_volume() {
  local dir=$1 mnt=$1/mnt t0 t1 t2 t3 where d_first d_size d_offset
  U_IMAGE=$dir/volume.img
  U_ORIGINAL=$dir/original.bin
  mkdir -p "$mnt"
  t0=$(now_ns)
  truncate -s "$((undelete_image_kib * 1024))" "$U_IMAGE"
  mkfs.exfat -c 4096 -L QVBENCH "$U_IMAGE" >/dev/null
  head -c "$undelete_file_bytes" /dev/urandom >"$U_ORIGINAL"
  t1=$(now_ns)
  exfat_mount "$U_IMAGE" "$mnt"
  # Written first onto the fresh volume, in large writes: exfat-fuse keeps a
  # file that grows into the free clusters right after its own NoFatChain.
  dd if="$U_ORIGINAL" of="$mnt/BIG.BIN" bs=16M status=none
  exfat_unmount "$U_IMAGE" "$mnt"
  t2=$(now_ns)
  where=$(exfat_locate "$U_IMAGE" BIG.BIN live)
  read -r U_FIRST U_SIZE U_OFFSET U_CLUSTER_BYTES _ <<<"$where"
  exfat_mount "$U_IMAGE" "$mnt"
  rm "$mnt/BIG.BIN"
  exfat_unmount "$U_IMAGE" "$mnt"
  where=$(exfat_locate "$U_IMAGE" BIG.BIN deleted)
  read -r d_first d_size d_offset _ <<<"$where"
  if [[ $d_first != "$U_FIRST" || $d_size != "$U_SIZE" || $d_offset != "$U_OFFSET" ]]; then
    echo "the deleted entry set lost its first cluster or length" >&2
    exit 1
  fi
  t3=$(now_ns)
  echo "volume: 4 GiB exFAT (sparse), cluster $U_CLUSTER_BYTES bytes"
  echo "file:   BIG.BIN, $U_SIZE bytes, first cluster $U_FIRST, image offset $U_OFFSET, NoFatChain"
  echo "build:  mkfs + 1 GiB of random bytes $(secs $((t1 - t0))) s, written through exfat-fuse $(secs $((t2 - t1))) s, rm $(secs $((t3 - t2))) s"
}

# The exFAT search tree: shaped as the FAT32 one above (10,000 directories
# below random earlier ones, depth at most 6; 20 of them with 1,050 to 2,400
# files; 100,000 files, mostly a few hundred bytes to a few KiB), but named
# as today's cards are: mixed case, long names with blanks, and about one
# name in twelve past ASCII (accents, Cyrillic, CJK). About 300 directories
# (with all below them) are chosen for rm -r and 40% of the other files for
# rm. Seeded, so every build makes the same tree.
exfat_generator=$(cat <<'PY'
import os, random, sys
root, listdir = sys.argv[1], sys.argv[2]
rng = random.Random(20261207)
WORDS = ["report", "budget", "notes", "photo", "letter", "invoice", "backup", "draft", "summary",
         "minutes", "agenda", "contract", "scan", "memo", "plan", "data", "export", "readme",
         "index", "archive"]
FOREIGN = ["Café", "Résumé", "Übersicht", "Ærø", "Crème brûlée", "Fotos für Oma", "Фото",
           "Отчёт", "日記", "写真", "Ñandú", "Zürich", "Smörgåsbord", "Łódź", "Straße"]
EXTS = ["txt", "doc", "xls", "jpg", "pdf", "dat", "csv", "log", "ini", "bmp", "htm", "zip"]
N_DIRS, N_FILES, N_BIG, N_DELETED_DIRS = 10000, 100000, 20, 300
blob = rng.randbytes(65536)
taken = {}

def fresh(parent, make):
    # exFAT compares names through its up-case table: case-folded, they differ.
    seen = taken.setdefault(parent, set())
    while True:
        n = make()
        if n.casefold() not in seen and n.upper().casefold() not in seen:
            seen.add(n.casefold())
            seen.add(n.upper().casefold())
            return n

def ext():
    e = rng.choice(EXTS)
    return e.upper() if rng.random() < 0.3 else e

def dir_name():
    r = rng.random()
    if r < 0.08:
        return "%s %d" % (rng.choice(FOREIGN), rng.randrange(1000))
    if r < 0.2:
        return "%s %s %d" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS), rng.randrange(1000))
    if r < 0.35:
        return "%s%d" % (rng.choice(WORDS).upper(), rng.randrange(10000))
    return "%s%d" % (rng.choice(WORDS).capitalize(), rng.randrange(10000))

def file_name():
    r = rng.random()
    if r < 0.08:
        return "%s %04d.%s" % (rng.choice(FOREIGN), rng.randrange(10000), ext())
    if r < 0.3:
        return "%s %s %04d.%s" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS),
                                  rng.randrange(10000), ext())
    if r < 0.45:
        return "IMG_%04d.%s" % (rng.randrange(10000), ext())
    if r < 0.6:
        return "%s%s%04d.%s" % (rng.choice(WORDS), rng.choice(WORDS).capitalize(), rng.randrange(10000), ext())
    return "%s%04d.%s" % (rng.choice(WORDS).capitalize(), rng.randrange(10000), ext())

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
    f.writelines(x + "\n" for x in doomed)
with open(os.path.join(listdir, "delete-dirs.txt"), "w") as f:
    f.writelines(x + "\n" for x in chosen)
under = sum(1 for f in files if f.startswith(prefixes))
foreign = sum(1 for f in files if not os.path.basename(f).isascii())
print("%d directories, %d files (%d named past ASCII); deleted: %d files, %d directories holding %d more files"
      % (len(dirs) - 1, len(files), foreign, len(doomed), len(chosen), under))
PY
)

# exfat_search_volume REBUILD: makes (or, while its recipe is unchanged and
# REBUILD is 0, reuses) BENCH_TMP/exfat-volume/exfat.img: a sparse 1 GiB
# exFAT volume of 4 KiB clusters holding the tree above, copied in with one
# cp -r through exfat-fuse, then the chosen files deleted with rm and the
# chosen directories with rm -r. Sets X_IMAGE and prints what it holds.
exfat_search_volume() {
  local rebuild=$1 image_bytes=$((1024 * 1024 * 1024)) mkfs_args=(-c 4096 -L QVEXFAT)
  local recipe cache stamp
  recipe=$(printf '%s\n' "$exfat_generator" "$image_bytes" "${mkfs_args[@]}" \
    "$(mount.exfat-fuse -V 2>&1 | head -n 1)" "cp -r; xargs rm; xargs rm -r" | sha256sum | cut -c1-16)
  cache=$bench_scratch/exfat-volume
  X_IMAGE=$cache/exfat.img
  stamp=$cache/stamp
  mkdir -p "$cache"
  if [[ $rebuild == 1 || ! -f $X_IMAGE || ! -f $stamp || $(head -n 1 "$stamp") != "$recipe" ]]; then
    echo "== building the volume in $cache (through exfat-fuse: a few minutes)"
    rm -f "$X_IMAGE" "$X_IMAGE.part" "$stamp"
    (
      set -e
      # The host tree goes to memory where there is some.
      tree=$(mktemp -d "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "$bench_scratch")/exfat-tree.XXXXXX")
      mnt=$(mktemp -d "$bench_scratch/exfat-mnt.XXXXXX")
      EX_LOOP=
      trap '[[ -z $EX_LOOP ]] || exfat_unmount "$X_IMAGE.part" "$mnt" || true; rmdir "$mnt"; rm -rf "$tree"' EXIT
      t0=$(now_ns)
      summary=$(python3 -c "$exfat_generator" "$tree/root" "$tree")
      t1=$(now_ns)
      truncate -s "$image_bytes" "$X_IMAGE.part"
      mkfs.exfat "${mkfs_args[@]}" "$X_IMAGE.part" >/dev/null
      exfat_mount "$X_IMAGE.part" "$mnt"
      cp -r "$tree/root/." "$mnt/"
      t2=$(now_ns)
      (cd "$mnt" && xargs -d '\n' -s 2000000 -a "$tree/delete-files.txt" rm -- </dev/null)
      (cd "$mnt" && xargs -d '\n' -s 2000000 -a "$tree/delete-dirs.txt" rm -r -- </dev/null)
      t3=$(now_ns)
      exfat_unmount "$X_IMAGE.part" "$mnt"
      t4=$(now_ns)
      mv "$X_IMAGE.part" "$X_IMAGE"
      {
        echo "$recipe"
        echo "$summary"
        echo "built $(date -u '+%Y-%m-%d %H:%M UTC'): host tree $(secs $((t1 - t0))) s, mkfs + cp -r $(secs $((t2 - t1))) s, rm + rm -r $(secs $((t3 - t2))) s, unmount $(secs $((t4 - t3))) s, total $(secs $((t4 - t0))) s"
      } >"$stamp"
    )
  else
    echo "== reusing the volume in $cache (--rebuild to make it again)"
  fi
  echo "volume: 1 GiB exFAT (sparse), 4 KiB clusters; $(sed -n 2p "$stamp")"
  echo "        $(sed -n 3p "$stamp")"
}
