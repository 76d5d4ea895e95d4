#!/usr/bin/env bash
# Fragmented deleted files whose gaps hold other deleted files: how many
# files `quorvane-cli recover` brings back byte for byte by the classic rule,
# with --fragments, and by The Sleuth Kit's `icat -r` for the same entries;
# how many mixtures each calls intact; and the time of `search --recurse
# --fragments C:` against the plain search (and `--details`, which computes
# the same condition column without the claims).
#
# The volume: 40 MiB FAT32 with 512-byte clusters, made with mkfs.fat and
# mtools only. Groups of files are written one after the other into /D:
#  - nested: A, gap, B, gap, C (1 to 4 clusters each);
#  - braided: A, then 2 to 6 pairs of a one-cluster file and a one-cluster
#    gap, then B;
#  - braided pair: A, then 2 to 6 pairs of one-cluster files, then B; the
#    first of each pair is a gap of the first round, the second one of the
#    second round, so that two later files interleave cluster by cluster;
#  - side by side: three files, no gap (the classic rule is right there).
# The gap files are deleted, the FSInfo hint is set back to the volume's
# start, and one file a group is written that fills that group's gaps
# exactly (mtools takes the first free clusters from the hint), so that its
# pieces lie between files of known runs; then the same again for the
# second round's gaps. Empty files then take the slots the gap files'
# entries left (mtools reuses deleted slots), and everything in /D is
# deleted with mdel. Each file's true clusters come from mshowfat
# before the deletion; a file counts as "gaps held by known runs" when every
# cluster between its first and its last that is not its own belongs to a
# deleted file stored in one run.
#
# usage: bench/fragments_bench.sh [CLI]     (CLI default build/quorvane-cli)
# env:   BENCH_TMP, BENCH_RUNS (timed runs of each search, default 5),
#        BENCH_GROUPS (default 400).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/lib.sh
source "$here/lib.sh"
cli_arg=build/quorvane-cli
for arg in "$@"; do
  case $arg in
    -h | --help) sed -n '2,27p' "$0"; exit 0 ;;
    *) cli_arg=$arg ;;
  esac
done
cli=$(absolute_cli "$cli_arg")
runs=${BENCH_RUNS:-5}
groups=${BENCH_GROUPS:-400}
require_tools mkfs.fat mmd mcopy mdel mshowfat fls icat python3 /usr/bin/time
mkdir -p "$bench_scratch"
work=$(mktemp -d "$bench_scratch/fragments.XXXXXX")
trap '[[ -n ${BENCH_KEEP:-} ]] || rm -rf "$work"' EXIT
img=$work/fragments.img

echo "== building the volume ($groups groups)"
python3 - "$work" "$img" "$groups" <<'PY'
import json, os, random, re, struct, subprocess, sys
work, img, groups = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(20261208)
files = f"{work}/files"
os.makedirs(files)
def run(*argv):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
def mtools(tool, *args):
    run(tool, "-i", img, *args)

with open(img, "wb") as f:
    f.truncate(40 << 20)
run("mkfs.fat", "-F", "32", "-s", "1", "-S", "512", img)
mtools("mmd", "::/D")
# Room for every entry first: the directory does not grow between files.
slots = groups * 16
empty = f"{work}/empty"
os.makedirs(empty)
for k in range(slots):
    open(f"{empty}/R{k:05d}", "wb").close()
for start in range(0, slots, 2000):
    mtools("mcopy", *[f"{empty}/R{k:05d}" for k in range(start, min(slots, start + 2000))], "::/D/")
mtools("mdel", "::/D/R*")

number = 0
def real_format(kind):
    """A real JPEG (ImageMagick), PNG or DOCX (Python's zlib and zipfile)."""
    global number
    number += 1
    if kind == "jpg":
        name = f"N{number:05d}.JPG"
        side = rng.randint(48, 120)
        run("convert", "-size", f"{side}x{side}", "-seed", str(rng.randrange(1 << 30)), "plasma:fractal",
            "-quality", "85", f"{files}/{name}")
        return name
    if kind == "png":
        import zlib
        name = f"N{number:05d}.PNG"
        w, h = rng.randint(24, 48), rng.randint(24, 48)
        rows = b"".join(b"\0" + bytes(min(255, (x * y + rng.randrange(64)) % 256) for x in range(w * 3))
                        for y in range(h))
        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
        with open(f"{files}/{name}", "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                    chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))
        return name
    import zipfile
    name = f"N{number:05d}.DOC"
    words = ["minutes", "budget", "council", "river", "archive", "letter", "summary", "garden"]
    text = " ".join(rng.choice(words) for _ in range(rng.randint(600, 2500)))
    with zipfile.ZipFile(f"{files}/{name}", "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", "<?xml version='1.0'?><Types/>")
        z.writestr("word/document.xml", f"<?xml version='1.0'?><w:document><w:t>{text}</w:t></w:document>")
    return name

def new_file(clusters, kept):
    """A file of `clusters` 512-byte clusters, the last one partly used."""
    global number
    number += 1
    name = f"N{number:05d}.BIN"
    size = clusters * 512 - rng.randrange(0, 400)
    with open(f"{files}/{name}", "wb") as f:
        f.write(rng.randbytes(size))
    return {"name": name, "clusters": clusters, "kept": kept}

first_pass, gap_names, fillers, kinds, unknowns = [], [], [], {}, []
second_gaps, second_fillers = [], []
for g in range(groups):
    kind = rng.choices(["nested", "braided", "pair", "side", "format"], [34, 26, 13, 12, 15])[0]
    layout = []
    if kind == "format":
        # A real file in two pieces around clusters whose entry is gone:
        # nothing on the volume claims them, only the file's format can tell.
        name = real_format(rng.choice(["jpg", "png", "doc"]))
        clusters = max(2, (os.path.getsize(f"{files}/{name}") + 511) // 512)
        first = rng.randint(1, clusters - 1)
        unknown = new_file(rng.randint(1, 3), True)
        unknown["unknown"] = True
        if rng.random() < 0.5:  # the gap holds another file of the kind
            other = real_format(name[-3:].lower() if name[-3:] != "DOC" else "doc")
            data = open(f"{files}/{other}", "rb").read()
            with open(f"{files}/{unknown['name']}", "wb") as f:
                f.write((data * 3)[512:512 + unknown["clusters"] * 512 - 100])
        layout = [new_file(first, False), unknown, new_file(clusters - first, False)]
        first_pass += layout
        gap_names += [layout[0]["name"], layout[2]["name"]]
        fillers.append({"name": name, "clusters": clusters, "kept": True})
        kinds[name] = kind
        for f in layout:
            kinds[f["name"]] = "gap"
        unknowns.append(unknown["name"])
        continue
    if kind == "nested":
        layout = [new_file(rng.randint(1, 4), True), new_file(rng.randint(1, 3), False),
                  new_file(rng.randint(1, 4), True), new_file(rng.randint(1, 3), False),
                  new_file(rng.randint(1, 2), True)]
    elif kind == "braided":
        layout.append(new_file(rng.randint(1, 2), True))
        for _ in range(rng.randint(2, 6)):
            layout += [new_file(1, True), new_file(1, False)]
        layout.append(new_file(rng.randint(1, 2), True))
    elif kind == "pair":
        layout.append(new_file(rng.randint(1, 2), True))
        pairs = rng.randint(2, 6)
        for _ in range(pairs):
            layout.append(new_file(1, False))
            second = new_file(1, True)
            second["second"] = True
            layout.append(second)
        layout.append(new_file(rng.randint(1, 2), True))
        seconds = [f["name"] for f in layout if f.get("second")]
        second_gaps += seconds
        filler = new_file(pairs, True)
        second_fillers.append(filler)
        kinds[filler["name"]] = kind
    else:
        layout = [new_file(rng.randint(1, 4), True) for _ in range(3)]
    first_pass += layout
    gaps = sum(f["clusters"] for f in layout if not f["kept"])
    if gaps:
        gap_names += [f["name"] for f in layout if not f["kept"]]
        filler = new_file(gaps, True)
        fillers.append(filler)
        kinds[filler["name"]] = kind
    for f in layout:
        kinds[f["name"]] = kind if f["kept"] and not f.get("second") else "gap"

def copy_all(names):
    for start in range(0, len(names), 500):
        mtools("mcopy", *[f"{files}/{n}" for n in names[start:start + 500]], "::/D/")
def delete_all(names):
    for start in range(0, len(names), 500):
        mtools("mdel", *[f"::/D/{n}" for n in names[start:start + 500]])

copy_all([f["name"] for f in first_pass])
delete_all(gap_names)
# The next file takes the first free cluster after the hint: the first gap.
with open(img, "r+b") as f:
    f.seek(48)
    fsinfo = struct.unpack("<H", f.read(2))[0]
    f.seek(fsinfo * 512 + 492)
    f.write(struct.pack("<I", 2))
def hint_to_start():
    with open(img, "r+b") as f:
        f.seek(48)
        fsinfo = struct.unpack("<H", f.read(2))[0]
        f.seek(fsinfo * 512 + 492)
        f.write(struct.pack("<I", 2))
copy_all([f["name"] for f in fillers])
if second_fillers:
    delete_all(second_gaps)
    hint_to_start()
    copy_all([f["name"] for f in second_fillers])
    gap_names += second_gaps
    fillers += second_fillers
# The clusters between a real file's pieces lose their entry.
delete_all(unknowns)
gap_names += unknowns
# The gap files' entries that no filler took are taken by empty files, so
# that no deleted entry names clusters a later file was written over.
for k in range(len(gap_names) - len(fillers)):
    open(f"{empty}/E{k:05d}", "wb").close()
if len(gap_names) > len(fillers):
    for start in range(0, len(gap_names) - len(fillers), 2000):
        mtools("mcopy", *[f"{empty}/E{k:05d}" for k in range(start, min(len(gap_names) - len(fillers), start + 2000))], "::/D/")

live = [f["name"] for f in first_pass if f["kept"] and not f.get("second") and not f.get("unknown")] + \
    [f["name"] for f in fillers]
truth = {}
for start in range(0, len(live), 500):
    out = subprocess.run(["mshowfat", "-i", img] + [f"::/D/{n}" for n in live[start:start + 500]],
                         check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        m = re.match(r"::/D/(\S+) (.*)", line)
        clusters = []
        for lo, hi in re.findall(r"<(\d+)(?:-(\d+))?>", m.group(2)):
            clusters += range(int(lo), int(hi or lo) + 1)
        truth[m.group(1)] = clusters
run("mdel", "-i", img, "::/D/*")
with open(f"{work}/truth.json", "w") as f:
    json.dump({"truth": truth, "kinds": kinds}, f)
print(f"   {len(truth)} deleted files with content, {len(fillers)} of them written into gaps")
PY

echo "== recovering: classic, --fragments, icat -r"
"$cli" --quiet --drive "C:=$img" recover --recurse -o "$work/classic" 'C:\D' >/dev/null 2>&1 || true
"$cli" --quiet --drive "C:=$img" recover --recurse --fragments -o "$work/claims" 'C:\D' >/dev/null 2>&1 || true
mkdir -p "$work/icat"
fls -r -d -p "$img" | awk -F'\t' '$1 ~ /^r\/r \*/ { split($1, a, " "); sub(":", "", a[3]); print a[3] "\t" $2 }' \
  >"$work/fls.txt"
while IFS=$'\t' read -r inode path; do
  icat -r "$img" "$inode" >"$work/icat/${path##*/}" 2>/dev/null || true
done <"$work/fls.txt"

python3 - "$work" <<'PY'
import hashlib, json, os, sys
work = sys.argv[1]
data = json.load(open(f"{work}/truth.json"))
truth, kinds = data["truth"], data["kinds"]
original = {n: hashlib.sha256(open(f"{work}/files/{n}", "rb").read()).hexdigest() for n in truth}
owner = {c: n for n, cs in truth.items() for c in cs}
one_run = {n for n, cs in truth.items() if cs == list(range(cs[0], cs[0] + len(cs)))}
def held_by_known_runs(n):
    cs = truth[n]
    between = set(range(cs[0], cs[-1] + 1)) - set(cs)
    return n not in one_run and all(owner.get(c) in one_run for c in between)

def manifest(folder):
    rows = {}
    for line in open(f"{work}/{folder}/quorvane-manifest.jsonl"):
        row = json.loads(line)
        stem, _, ext = bytes.fromhex(row["path_hex"]).split(b"\\")[-1].decode("latin-1").partition(".")
        rows[stem[1:].rstrip() + "." + ext.rstrip()] = (row["sha256"], row["condition"])
    return rows
classic, claims = manifest("classic"), manifest("claims")
icat = {}
for name in os.listdir(f"{work}/icat"):
    icat[name[1:]] = (hashlib.sha256(open(f"{work}/icat/{name}", "rb").read()).hexdigest(), None)

def tally(rows, names):
    exact = sum(1 for n in names if rows.get(n[1:], (None,))[0] == original[n])
    mixed_intact = sum(1 for n in names
                       if n[1:] in rows and rows[n[1:]][0] != original[n] and rows[n[1:]][1] == "intact")
    return exact, mixed_intact

everyone = sorted(truth)
mixed_by_classic = [n for n in everyone if classic.get(n[1:], (None,))[0] != original[n]]
target = [n for n in mixed_by_classic if held_by_known_runs(n)]
print(f"   {len(everyone)} files; classic mixes up {len(mixed_by_classic)}, "
      f"{len(target)} of them with gaps held by other deleted files' known runs")
print(f"{'':34}{'classic':>10}{'--fragments':>14}{'icat -r':>10}")
def line(label, values):
    print(f"{label:34}" + "".join(f"{v:>{w}}" for v, w in zip(values, (10, 14, 10))))
for label, names in (("exact, all files", everyone), ("exact, classic mixed up", mixed_by_classic),
                     ("exact, gaps held by known runs", target)):
    line(label, [tally(rows, names)[0] for rows in (classic, claims, icat)])
for kind in ("nested", "braided", "pair", "side", "format"):
    names = [n for n in everyone if kinds[n] == kind]
    line(f"exact, {kind} groups ({len(names)})", [tally(rows, names)[0] for rows in (classic, claims, icat)])
line("mixtures reported intact", [tally(classic, everyone)[1], tally(claims, everyone)[1], "n/a"])
conditions = {}
for n in everyone:
    if n[1:] in claims: conditions[claims[n[1:]][1]] = conditions.get(claims[n[1:]][1], 0) + 1
print("   --fragments conditions: " + ", ".join(f"{k} {v}" for k, v in sorted(conditions.items())))
share = 100.0 * tally(claims, target)[0] / max(1, len(target))
print(f"   --fragments exact on the target set: {share:.1f}% (target at least 90%)")
formats = [n for n in everyone if kinds[n] == "format"]
share = 100.0 * tally(claims, formats)[0] / max(1, len(formats))
print(f"   --fragments exact on real formats split across unknown gaps: {share:.1f}% of {len(formats)} "
      f"(target at least 70%)")
PY

echo "== search --recurse C: (minimum of $runs runs)"
declare -A best
for mode in plain details fragments tree tree-fragments; do
  case $mode in
    plain) extra=() ;;
    details) extra=(--details) ;;
    fragments) extra=(--fragments) ;;
    # Into deleted directories too: --fragments then also scans the free
    # clusters for directories no walk reaches.
    tree) extra=(--deleted-dirs) ;;
    tree-fragments) extra=(--deleted-dirs --fragments) ;;
  esac
  times=()
  for ((r = 0; r < runs; ++r)); do
    run_timed "$work/rows.$mode" "$cli" --drive "C:=$img" search --recurse "${extra[@]}" 'C:'
    times+=("$T_NS")
  done
  best[$mode]=$(minimum "${times[@]}")
  printf "   %-15s %8s s  %6d rows\n" "$mode" "$(secs "${best[$mode]}")" "$(wc -l <"$work/rows.$mode")"
done
awk -v p="${best[plain]}" -v d="${best[details]}" -v f="${best[fragments]}" \
  'BEGIN { printf "   --fragments / plain %.2f, --fragments / --details %.2f (target at most 3)\n", f / p, f / d }'
awk -v p="${best[tree]}" -v f="${best[tree-fragments]}" \
  'BEGIN { printf "   with --deleted-dirs: --fragments / plain %.2f (target at most 3)\n", f / p }'
