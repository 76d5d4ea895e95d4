#!/usr/bin/env bash
# Times `quorvane-cli recover --recurse --deleted-dirs --all --long-names`
# of every deleted file of the search volume (about 100,000 files in 10,000
# directories, half of them deleted) against The Sleuth Kit's
# `tsk_recover -e` of the same image, compares the bytes of the two trees
# and reports peak RSS.
#
# usage: bench/recover_bench.sh [--rebuild] [PATH-TO-quorvane-cli]
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp); the search
#                   volume is kept in BENCH_TMP/search-volume and reused.
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

max_ratio=0.5
max_rss_mib=64

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
require_tools mkfs.fat mcopy mdel mdeltree tsk_recover python3 sha256sum xargs /usr/bin/time
cli=$(absolute_cli "$cli")

search_volume "$rebuild"
image=$S_IMAGE

mkdir -p "$scratch"
work=$(mktemp -d "$scratch/recover-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

quorvane=("$cli" --drive "C:=$image" recover --recurse --deleted-dirs --all --long-names -o "$work/q" 'C:')
sleuthkit=(tsk_recover -e -f fat32 "$image" "$work/t")

# check NAME: stops on a failed run. recover exits 1 when a file is not
# intact (--all lists files whose first cluster is in use again).
check() {
  local ok=0
  case $1 in
    quorvane) [[ $T_RC -eq 0 || $T_RC -eq 1 ]] && ok=1 ;;
    tsk) [[ $T_RC -eq 0 ]] && ok=1 ;;
  esac
  if [[ $ok == 0 ]]; then
    echo "$1 failed (exit $T_RC):" >&2
    tail -n 20 "$work/stderr.txt" >&2
    exit 1
  fi
}

# Each run writes a fresh tree, with the last one's writes on the disk.
fresh() { rm -rf "$work/q" "$work/t"; sync; }

cat "$image" >/dev/null
q_s=() t_s=() ratio=() q_rss=() t_rss=() q_cpu=() t_cpu=()
for ((i = 1; i <= runs; i++)); do
  fresh
  run_timed "$work/quorvane.out" "${quorvane[@]}"; check quorvane
  q=$T_NS; q_rss+=("$T_RSS"); q_cpu+=("$T_CPU")
  fresh
  run_timed "$work/tsk.out" "${sleuthkit[@]}"; check tsk
  t=$T_NS; t_rss+=("$T_RSS"); t_cpu+=("$T_CPU")
  q_s+=("$(secs "$q")"); t_s+=("$(secs "$t")")
  ratio+=("$(awk -v a="$q" -v b="$t" 'BEGIN { printf "%.3f", a / b }')")
done
# tsk_recover's last tree stays for the comparison; quorvane's is made again.
rm -rf "$work/q"
"${quorvane[@]}" </dev/null >/dev/null 2>"$work/quorvane.err" || true

# Both trees by path, each component's first character left out (a deleted
# 8.3 name lost it: quorvane writes X, tsk_recover _), with each file's
# SHA-256; quorvane's from its manifest, checked against sha256sum for a
# sample.
comparison=$(python3 - "$work/q" "$work/t" <<'PY'
import hashlib, json, os, random, sys
ours, theirs = sys.argv[1], sys.argv[2]
def key(path):
    return "/".join(part[1:] for part in path.split("/"))
def sha(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()
manifest = {}
outcomes = {}
with open(os.path.join(ours, "quorvane-manifest.jsonl"), encoding="utf-8") as f:
    for line in f:
        row = json.loads(line)
        outcomes[row["outcome"]] = outcomes.get(row["outcome"], 0) + 1
        if row["output"] is not None:
            manifest[row["output"]] = row
checked = bad_sha = 0
for output in random.Random(1).sample(sorted(manifest), min(500, len(manifest))):
    checked += 1
    bad_sha += sha(os.path.join(ours, output)) != manifest[output]["sha256"]
tsk = {}
for root, _, files in os.walk(theirs):
    for name in files:
        path = os.path.relpath(os.path.join(root, name), theirs)
        tsk.setdefault(key(path), []).append(path)
same = differ = absent = ambiguous = 0
intact_differ = 0
for output, row in manifest.items():
    found = tsk.get(key(output))
    if not found:
        absent += 1
        continue
    if len(found) > 1:
        ambiguous += 1
    if any(sha(os.path.join(theirs, p)) == row["sha256"] for p in found):
        same += 1
    else:
        differ += 1
        intact_differ += row["condition"] == "intact"
print("files written by quorvane: %d (%s)" % (len(manifest), ", ".join("%s %d" % kv for kv in sorted(outcomes.items()))))
print("manifest SHA-256 checked against the files: %d, wrong %d" % (checked, bad_sha))
print("same bytes as tsk_recover: %d; different: %d (intact rows among them: %d); not in tsk_recover's tree: %d; names tsk_recover wrote twice: %d"
      % (same, differ, intact_differ, absent, ambiguous))
print("verdict", "same" if differ == 0 and absent == 0 and bad_sha == 0 else "DIFFERENT")
PY
)
tsk_files=$(find "$work/t" -type f | wc -l)
med_ratio=$(median "${ratio[@]}")
peak_q=$(maximum "${q_rss[@]}")
verdict() { if [[ $1 == 1 ]]; then echo "met"; else echo "MISSED"; fi; }

echo
echo "recover --recurse --deleted-dirs --all --long-names C: against tsk_recover -e; warm image; $runs runs each, alternating"
printf '%-8s %12s %10s %10s %12s %10s\n' run "quorvane s" "cpu s" "tsk s" "cpu s" "q/tsk"
for ((i = 0; i < runs; i++)); do
  printf '%-8s %12s %10s %10s %12s %10s\n' "$((i + 1))" "${q_s[i]}" "${q_cpu[i]}" "${t_s[i]}" "${t_cpu[i]}" "${ratio[i]}"
done
printf '%-8s %12s %10s %10s %12s %10s\n' median "$(median "${q_s[@]}")" "$(median "${q_cpu[@]}")" "$(median "${t_s[@]}")" "$(median "${t_cpu[@]}")" "$med_ratio"
printf '%-8s %8s MiB %6s MiB\n' "peak RSS" "$(mib "$peak_q")" "$(mib "$(maximum "${t_rss[@]}")")"
echo
tail -n 1 "$work/quorvane.err"
echo "files written by tsk_recover -e (live files included): $tsk_files"
echo "$comparison" | grep -v '^verdict'
echo
echo "target: at most ${max_ratio} of tsk_recover's time -> ${med_ratio} ($(verdict "$(awk -v r="$med_ratio" -v m="$max_ratio" 'BEGIN { print (r <= m) }')"))"
echo "target: the same bytes                -> $(echo "$comparison" | sed -n 's/^verdict //p')"
echo "target: peak RSS under $max_rss_mib MiB          -> $(mib "$peak_q") MiB ($(verdict "$(awk -v k="$peak_q" -v m="$max_rss_mib" 'BEGIN { print (k < m * 1024) }')"))"
