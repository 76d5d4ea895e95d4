#!/usr/bin/env bash
# Compares two builds of quorvane, BASE and NEW, on the same volumes in one
# run: undelete of a 1 GiB file, search of the 100,000-file volume and the
# results page (page 4) listing 100,000 rows. The two sides alternate
# sample by sample (BASE first in every other pair); for every figure the
# script prints both sides, NEW/BASE and a verdict against a band of 5%.
#
# usage: bench/compare.sh --base-rev REV [options]
#   --base-rev REV   BASE is git revision REV of this repository, exported
#                    (git archive) to BENCH_TMP/compare/src-SHA and built there
#   --base-src DIR   BASE is the source tree DIR (built in BENCH_TMP/compare)
#   --base-cli PATH  BASE's quorvane-cli for undelete and search (page 4
#                    needs a source tree: without one it is left out)
#   --new-rev REV, --new-src DIR, --new-cli PATH
#                    the same for NEW; by default NEW is the source tree this
#                    script lies in, uncommitted changes included
#   --only LIST      some of undelete,search,page4 (default: all three)
#   --band PCT       the band of the verdicts in percent (default 5)
#   --rebuild        make the cached search and page-4 volumes again
#   --callgrind      also run one undelete and one search per side under
#                    callgrind: instruction counts, which the machine's load
#                    does not move (they decide too), and the functions whose
#                    own counts changed most; the profiles are kept in
#                    BENCH_TMP/compare/callgrind-BENCH-SIDE.out
# env:   BENCH_TMP  scratch folder (default /work/bench-tmp): the volumes, the
#                   exported revisions and the builds; about 4 GiB more for
#                   a few minutes while undelete runs.
#        BENCH_RUNS timed runs (default 5). In every run each side makes
#                   BENCH_UNDELETE_REPEAT undeletes (default 5),
#                   BENCH_SEARCH_REPEAT searches (default 20) and
#                   BENCH_PAGE4_REPEAT page-4 harnesses (default 4) of
#                   BENCH_PAGE4_ROUNDS rounds each (default 5), the sides
#                   taking turns sample by sample.
#        BENCH_NICE when set, the timed commands (and nothing else) run
#                   under nice -n BENCH_NICE, e.g. -10 (raising the priority
#                   needs root): on a machine shared with builds the samples
#                   then wait less for the processor.
# The rows marked * decide: the fast tenth (10th percentile) of the samples'
# processor time (user + system) for undelete and search, of the page's time
# and of the harness's processor time for page 4, and the command line's peak
# RSS; on a machine shared with builds they were the steadiest figures (see
# bench/README.md); with --callgrind also the instruction counts. Medians,
# best samples and wall-clock times are shown beside them with verdicts of
# their own. A listing that differs between the sides, a recovered file that
# differs from the original or a deciding figure over the band ends with
# exit status 1.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
runs=${BENCH_RUNS:-5}
undelete_repeat=${BENCH_UNDELETE_REPEAT:-5}
search_repeat=${BENCH_SEARCH_REPEAT:-20}
page4_repeat=${BENCH_PAGE4_REPEAT:-4}
page4_rounds=${BENCH_PAGE4_ROUNDS:-5}
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

usage() { sed -n '2,46p' "$0"; }
base_rev='' base_src='' base_cli='' new_rev='' new_src='' new_cli=''
only=undelete,search,page4
band=5
rebuild=0
callgrind=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --base-rev | --base-src | --base-cli | --new-rev | --new-src | --new-cli | --only | --band)
      [[ $# -ge 2 ]] || { echo "$1 needs a value" >&2; exit 2; }
      opt=${1#--}
      printf -v "${opt//-/_}" '%s' "$2"
      shift 2 ;;
    --rebuild) rebuild=1; shift ;;
    --callgrind) callgrind=1; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "unknown argument: $1" >&2; usage >&2; exit 2 ;;
  esac
done
for n in "$runs" "$undelete_repeat" "$search_repeat" "$page4_repeat" "$page4_rounds"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "BENCH_RUNS and BENCH_*_REPEAT, BENCH_PAGE4_ROUNDS take positive numbers" >&2; exit 2; }
done
[[ $band =~ ^[0-9]+([.][0-9]+)?$ ]] || { echo "--band takes a number of percent" >&2; exit 2; }
want() { [[ ,$only, == *,$1,* ]]; }
prio=()
if [[ -n ${BENCH_NICE:-} ]]; then
  [[ $BENCH_NICE =~ ^-?[0-9]+$ ]] || { echo "BENCH_NICE takes a niceness, e.g. -10" >&2; exit 2; }
  prio=(nice -n "$BENCH_NICE")
  if [[ $("${prio[@]}" nice 2>/dev/null) != $(($(nice) + BENCH_NICE)) ]]; then
    echo "cannot change the niceness by $BENCH_NICE here" >&2
    exit 2
  fi
fi
for b in ${only//,/ }; do
  case $b in undelete | search | page4) ;; *) echo "--only: unknown benchmark $b" >&2; exit 2 ;; esac
done
if [[ -n $base_rev && -n $base_src ]] || [[ -n $new_rev && -n $new_src ]]; then
  echo "give a side a revision or a source tree, not both" >&2
  exit 2
fi
[[ -n $base_rev || -n $base_src || -n $base_cli ]] || { echo "BASE is missing (--base-rev, --base-src or --base-cli)" >&2; usage >&2; exit 2; }
if [[ -z $new_rev && -z $new_src && -z $new_cli ]]; then
  new_src=$(cd "$here/.." && pwd)
fi

require_tools mkfs.fat mcopy mdel mdeltree cmp python3 sha256sum xargs /usr/bin/time
[[ $callgrind == 0 ]] || require_tools valgrind callgrind_annotate
mkdir -p "$bench_scratch/compare"
work=$(mktemp -d "$bench_scratch/compare-run.XXXXXX")
runtime=
cleanup() {
  rm -rf "$work"
  [[ -z $runtime ]] || rm -rf "$runtime"
}
trap cleanup EXIT

# --- the two sides --------------------------------------------------------------

# export_rev REV: prints the folder holding the tree of REV (made once per
# commit; the files' times then stay put, so its build stays incremental).
export_rev() {
  local sha dest
  sha=$(git -C "$here/.." rev-parse --verify --quiet "$1^{commit}") || { echo "not a revision here: $1" >&2; return 1; }
  dest=$bench_scratch/compare/src-${sha:0:12}
  if [[ ! -d $dest ]]; then
    rm -rf "$dest.part"
    mkdir -p "$dest.part"
    git -C "$here/.." archive --format=tar "$sha" | tar -x -C "$dest.part"
    mv "$dest.part" "$dest"
  fi
  echo "$dest"
}

# describe_tree DIR: the commit and state of a source tree, when it is one.
describe_tree() {
  git -C "$1" describe --always --dirty 2>/dev/null || echo "not a git checkout"
}

# build_side SIDE SRC: builds SRC's quorvane-cli and page-4 harness, optimised,
# in a build folder of its own in BENCH_TMP/compare (one per source tree);
# sets BUILD_DIR and HARNESS_OK.
build_side() {
  local side=$1 src=$2 key t0 t1 log
  key=$(printf '%s' "$src" | sha256sum | cut -c1-12)
  BUILD_DIR=$bench_scratch/compare/build-$(basename "$src")-$key
  log=$BUILD_DIR.log
  echo "== $side: building $src in $BUILD_DIR (log: $log)"
  t0=$(now_ns)
  if ! { cmake -S "$src/bench/page4" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -Wno-dev &&
    ninja -C "$BUILD_DIR" quorvane-cli; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "$side: the build of quorvane-cli failed" >&2
    exit 2
  fi
  HARNESS_OK=1
  if want page4 && ! ninja -C "$BUILD_DIR" page4_bench >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "$side: the page-4 harness did not build; page 4 is left out" >&2
    HARNESS_OK=0
  fi
  t1=$(now_ns)
  echo "   built in $(secs $((t1 - t0))) s"
}

declare -A cli_of build_of label_of
for side in base new; do
  rev_var=${side}_rev src_var=${side}_src cli_var=${side}_cli
  rev=${!rev_var} src=${!src_var} cli=${!cli_var}
  if [[ -n $rev ]]; then
    src=$(export_rev "$rev")
    label_of[$side]="revision $rev ($(git -C "$here/.." rev-parse --short=12 "$rev^{commit}"))"
  elif [[ -n $src ]]; then
    [[ -f $src/CMakeLists.txt && -d $src/bench/page4 ]] || { echo "not a quorvane source tree: $src" >&2; exit 2; }
    src=$(cd "$src" && pwd)
    label_of[$side]="source tree $src ($(describe_tree "$src"))"
  else
    label_of[$side]="quorvane-cli $cli"
  fi
  build_of[$side]=
  if [[ -n $src ]]; then
    require_tools cmake ninja
    build_side "${side^^}" "$src"
    [[ $HARNESS_OK == 0 ]] || build_of[$side]=$BUILD_DIR
    [[ -n $cli ]] || cli=$BUILD_DIR/quorvane-cli
  fi
  cli_of[$side]=$(absolute_cli "$cli")
  if [[ -n $src && -n ${!cli_var} ]]; then
    label_of[$side]+="; quorvane-cli ${cli_of[$side]} for undelete and search"
  fi
done
if [[ -z ${build_of[base]} || -z ${build_of[new]} ]] && want page4; then
  echo "== page 4 is left out: it needs a source tree (and its harness) on both sides"
  only=${only//page4/}
fi

# --- samples, figures and the tables ----------------------------------------------

# Every figure of every sample lands in fig[BENCH.SIDE.NAME] and, for the
# table of runs, in fig[BENCH.SIDE.NAME.rRUN] (space-separated).
declare -A fig
run_no=0
add() {
  fig[$1.$2.$3]+=" $4"
  fig[$1.$2.$3.r$run_no]+=" $4"
}
# shellcheck disable=SC2086  # one value a word
values() { echo ${fig[$1.$2.$3]:-}; }

# measure BENCH REPEAT: BENCH_RUNS runs; in each, REPEAT pairs of samples
# (sample_BENCH SIDE), BASE first in every other pair, so that a change in
# the machine's load falls on both sides alike.
measure() {
  local bench=$1 repeat=$2 k pair=0 side
  for ((run_no = 1; run_no <= runs; run_no++)); do
    for ((k = 1; k <= repeat; k++)); do
      pair=$((pair + 1))
      if ((pair % 2)); then set -- base new; else set -- new base; fi
      for side in "$@"; do "sample_$bench" "$side"; done
    done
  done
}

failed=0
slower=()
# line LABEL BASE NEW [decide|info|novote]: one row of a table: both sides,
# NEW/BASE and the verdict. Only a deciding row (marked *) over the band
# fails the comparison; a row marked novote gets no verdict.
line() {
  local verdict kind=${4:-info} mark=' '
  [[ $kind != decide ]] || mark='*'
  verdict=$(awk -v b="$2" -v n="$3" -v band="$band" -v kind="$kind" 'BEGIN {
    if (b <= 0) { printf "%8s  -", "-"; exit }
    r = n / b
    v = (kind == "novote") ? "(no verdict)" : (r > 1 + band / 100) ? "SLOWER" : (r < 1 - band / 100) ? "faster" : "within " band "%"
    printf "%8.3f  %s", r, v
  }')
  [[ $kind != decide || $verdict != *SLOWER ]] || slower+=("$current: $1")
  printf '  %s%-44s %10s %10s %s\n' "$mark" "$1" "$2" "$3" "$verdict"
}
title() {
  echo
  echo "$1"
}
header() {
  printf '   %-44s %10s %10s %8s  %s\n' figure BASE NEW NEW/BASE "verdict (band ${band}%)"
}
# runs_table BENCH KEY:LABEL...: the median of every run's samples, side by
# side, and the spread of these medians (slowest / fastest - 1).
runs_table() {
  local bench=$1 item i side
  shift
  printf '  %-7s' "run"
  for item in "$@"; do printf ' %14s' "BASE ${item#*:}" "NEW ${item#*:}"; done
  echo
  for ((i = 1; i <= runs; i++)); do
    printf '  %-7s' "$i"
    for item in "$@"; do
      for side in base new; do
        # shellcheck disable=SC2086
        printf ' %14s' "$(median ${fig[$bench.$side.${item%%:*}.r$i]})"
      done
    done
    echo
  done
  printf '  %-7s' spread
  for item in "$@"; do
    for side in base new; do
      printf ' %14s' "$(for ((i = 1; i <= runs; i++)); do
        # shellcheck disable=SC2086
        median ${fig[$bench.$side.${item%%:*}.r$i]}
      done | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.1f%%", (lo > 0) ? (hi - lo) / lo * 100 : 0 }')"
    done
  done
  echo
}
# percentile P VALUE...: the P-th percentile (0 to 100), interpolated.
percentile() {
  local p=$1
  shift
  printf '%s\n' "$@" | sort -g | awk -v p="$p" '{ v[NR] = $1 } END {
    k = (NR - 1) * p / 100; i = int(k); f = k - i
    x = (i + 1 < NR) ? v[i + 1] * (1 - f) + v[i + 2] * f : v[i + 1]
    d = v[1]; sub(/^[^.]*\.?/, "", d)
    printf "%.*f", length(d) + 1, x
  }'
}
# stat_rows BENCH NAME LABEL [decide]: the median, the fast tenth (deciding
# when asked) and the best of all samples.
stat_rows() {
  # shellcheck disable=SC2046
  line "$3, median" "$(median $(values "$1" base "$2"))" "$(median $(values "$1" new "$2"))"
  # shellcheck disable=SC2046
  line "$3, fast tenth" "$(percentile 10 $(values "$1" base "$2"))" "$(percentile 10 $(values "$1" new "$2"))" "${4:-info}"
  # shellcheck disable=SC2046
  line "$3, best" "$(minimum $(values "$1" base "$2"))" "$(minimum $(values "$1" new "$2"))"
}
# rss_row BENCH LABEL [decide]: the peak RSS of all samples.
rss_row() {
  # shellcheck disable=SC2046
  line "$2" "$(mib "$(maximum $(values "$1" base rss))")" "$(mib "$(maximum $(values "$1" new rss))")" "${3:-info}"
}
# callgrind_sample BENCH SIDE CMD...: runs CMD once under callgrind (not
# timed) and keeps the profile; records its instruction count in ir.
declare -A ir
callgrind_sample() {
  local bench=$1 side=$2 profile
  shift 2
  profile=$bench_scratch/compare/callgrind-$bench-$side.out
  if ! valgrind --tool=callgrind --callgrind-out-file="$profile" "$@" >"$work/callgrind.out" 2>"$work/callgrind.err" </dev/null; then
    echo "${side^^}: $bench under callgrind failed:" >&2
    tail -n 20 "$work/callgrind.err" >&2
    exit 1
  fi
  ir[$bench.$side]=$(awk '$1 == "summary:" { print $2; exit }' "$profile")
}
# callgrind_rows BENCH: both sides' instruction counts (deciding) and the
# functions whose own (exclusive) counts differ most, matched by name
# without their parameters, so that a changed signature still pairs up.
callgrind_rows() {
  local base=$bench_scratch/compare/callgrind-$1-base.out new=$bench_scratch/compare/callgrind-$1-new.out
  line "instructions, callgrind Ir" "${ir[$1.base]}" "${ir[$1.new]}" decide
  python3 - "$base" "$new" <<'PY'
import collections, re, subprocess, sys

def bare(name):
    # "???:ns::F(int) const'2 [/path/cli]" -> "ns::F" (callgrind_annotate
    # cuts long rows, the object's path too; '2 marks a recursion level)
    name = re.sub(r" \[[^\[\]]*\]?$", "", name.strip())
    name = re.sub(r"^[^:]*:(?!:)", "", name, count=1)
    name = re.sub(r"'\d+$", "", name)
    if name.endswith(" const"):
        name = name[:-6]
    if name.endswith(")"):
        depth = 0
        for i in range(len(name) - 1, -1, -1):
            depth += {")": 1, "(": -1}.get(name[i], 0)
            if depth == 0:
                return name[:i]
    return name

def own_counts(profile):
    text = subprocess.run(["callgrind_annotate", "--threshold=100", "--inclusive=no", profile],
                          capture_output=True, text=True, check=True).stdout
    counts, listing = collections.Counter(), False
    for row in text.splitlines():
        if "file:function" in row:
            listing = True
            continue
        m = re.match(r"^\s*([\d,]+)\s+(\([^)]*\)\s+)?(.+)$", row)
        if listing and m:
            counts[bare(m.group(3))] += int(m.group(1).replace(",", ""))
    return counts

base, new = own_counts(sys.argv[1]), own_counts(sys.argv[2])
total = max(sum(base.values()), 1)
moved = sorted((k for k in set(base) | set(new) if abs(new[k] - base[k]) * 1000 >= total),
               key=lambda k: -abs(new[k] - base[k]))[:8]
if moved:
    print("   functions whose own instructions moved most (at least 0.1% of BASE's total):")
    print("   %13s %13s %13s  %s" % ("BASE Ir", "NEW Ir", "NEW-BASE", "function"))
    for k in moved:
        print("   %13s %13s %+13s  %s" % (f"{base[k]:,}", f"{new[k]:,}", f"{new[k] - base[k]:,}", k[:90]))
PY
  echo "   (profiles: callgrind_annotate $base, and ...-new.out)"
}
ms_of_s() { awk -v ms="$1" 'BEGIN { printf "%.3f", ms / 1e3 }'; }

echo "BASE: ${label_of[base]}"
echo "NEW:  ${label_of[new]}"
echo "load now: $(cut -d' ' -f1-3 /proc/loadavg); warm page cache; $runs runs${BENCH_NICE:+; timed commands under nice -n $BENCH_NICE}"

# --- undelete -------------------------------------------------------------------------

if want undelete; then
  current=undelete
  echo
  echo "== undelete: building the volume (scratch: $work/undelete)"
  mkdir -p "$work/undelete/out"
  undelete_volume "$work/undelete"
  out_dir=$work/undelete/out
  fresh_start() {
    rm -f "$out_dir/BIG.BIN"
    sync
  }
  undelete_run() {
    fresh_start
    run_timed "$work/cli.out" "${prio[@]}" "${cli_of[$1]}" --drive "C:=$U_IMAGE" undelete -o "$out_dir" 'C:\BIG.BIN'
    if [[ $T_RC -ne 0 ]]; then
      echo "${1^^}: quorvane-cli undelete failed (exit $T_RC):" >&2
      cat "$work/cli.out" "$work/stderr.txt" >&2
      exit 1
    fi
  }
  sample_undelete() {
    undelete_run "$1"
    add undelete "$1" wall "$(secs "$T_NS")"
    add undelete "$1" cpu "$(ms_of_s "$T_CPU_MS")"
    add undelete "$1" rss "$T_RSS"
  }
  # Untimed first round: warms the image's pages for both sides alike and
  # checks each side's result once.
  for side in base new; do
    undelete_run "$side"
    if cmp -s "$U_ORIGINAL" "$out_dir/BIG.BIN"; then
      echo "check:  ${side^^}'s recovered BIG.BIN equals the original (cmp)"
    else
      echo "check:  ${side^^}'s recovered BIG.BIN DIFFERS from the original"
      failed=1
    fi
  done
  rm -f "$U_ORIGINAL"
  measure undelete "$undelete_repeat"
  if [[ $callgrind == 1 ]]; then
    for side in base new; do
      fresh_start
      callgrind_sample undelete "$side" "${cli_of[$side]}" --drive "C:=$U_IMAGE" undelete -o "$out_dir" 'C:\BIG.BIN'
    done
  fi
  fresh_start
  rm -rf "$work/undelete"

  title "undelete -o DIR C:\\BIG.BIN, 1 GiB contiguous, deleted by mdel; sync and the output removed before every sample; $undelete_repeat samples per side and run"
  runs_table undelete "wall:wall s" "cpu:cpu s"
  header
  stat_rows undelete wall "wall s"
  stat_rows undelete cpu "cpu s (user+sys)" decide
  rss_row undelete "peak RSS MiB" decide
  [[ $callgrind == 0 ]] || callgrind_rows undelete
fi

# --- search ---------------------------------------------------------------------------

if want search; then
  current=search
  echo
  search_volume "$rebuild"
  search_run() {
    run_timed "$work/search-$1.out" "${prio[@]}" "${cli_of[$1]}" --drive "C:=$S_IMAGE" search --recurse --deleted-dirs --all 'C:'
    if [[ $T_RC -ne 0 ]]; then
      echo "${1^^}: quorvane-cli search failed (exit $T_RC):" >&2
      head -n 20 "$work/stderr.txt" >&2
      exit 1
    fi
  }
  sample_search() {
    search_run "$1"
    add search "$1" wall "$(awk -v ns="$T_NS" 'BEGIN { printf "%.2f", ns / 1e6 }')"
    add search "$1" cpu "$T_CPU_MS"
    add search "$1" rss "$T_RSS"
  }
  cat "$S_IMAGE" >/dev/null
  for side in base new; do search_run "$side"; done
  if cmp -s "$work/search-base.out" "$work/search-new.out"; then
    echo "check:  both sides list the same $(wc -l <"$work/search-base.out") rows, byte for byte"
  elif cmp -s <(LC_ALL=C sort "$work/search-base.out") <(LC_ALL=C sort "$work/search-new.out"); then
    # A BASE from before the command line printed rows as found lists them
    # in the results page's order, the last found first.
    echo "check:  both sides list the same $(wc -l <"$work/search-base.out") rows, in another order"
  else
    echo "check:  the listings DIFFER: BASE $(wc -l <"$work/search-base.out") rows, NEW $(wc -l <"$work/search-new.out") rows"
    failed=1
  fi
  measure search "$search_repeat"
  if [[ $callgrind == 1 ]]; then
    for side in base new; do
      callgrind_sample search "$side" "${cli_of[$side]}" --drive "C:=$S_IMAGE" search --recurse --deleted-dirs --all 'C:'
    done
  fi

  title "search --recurse --deleted-dirs --all C: on the 100,000-file volume; $search_repeat searches per side and run"
  runs_table search "wall:wall ms" "cpu:cpu ms"
  header
  stat_rows search wall "wall ms"
  stat_rows search cpu "cpu ms (user+sys)" decide
  rss_row search "peak RSS MiB" decide
  [[ $callgrind == 0 ]] || callgrind_rows search
fi

# --- page 4 ----------------------------------------------------------------------------

if want page4; then
  current=page4
  echo
  page4_volume "$rebuild"
  runtime=$(page4_runtime_dir)
  # A sample is one harness process of page4_rounds timed rounds (it makes an
  # untimed one first). A round: Show Files to the final caption with the
  # worst lateness of a 10 ms timer, and the command-line search on the same
  # volume.
  sample_page4() {
    local build=${build_of[$1]} p c l r
    run_timed "$work/page4-$1.out" "${prio[@]}" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" \
      "$build/page4_bench" "$P4_IMAGE" "$build/quorvane-cli" "$page4_rounds"
    awk '$1 ~ /^[0-9]+$/ && NF == 7 { print $2, $3, $5, $7 }' "$work/page4-$1.out" >"$work/page4-$1.rounds"
    if [[ $T_RC -ne 0 || $(wc -l <"$work/page4-$1.rounds") -ne $page4_rounds ]]; then
      echo "${1^^}: page4_bench failed (exit $T_RC):" >&2
      cat "$work/page4-$1.out" >&2
      head -n 20 "$work/stderr.txt" >&2
      exit 1
    fi
    while read -r p c l r; do
      add page4 "$1" page "$p"
      add page4 "$1" cli "$c"
      add page4 "$1" late "$l"
      add page4 "$1" rows "$r"
    done <"$work/page4-$1.rounds"
    add page4 "$1" cpu "$(ms_of_s "$T_CPU_MS")"
    add page4 "$1" rss "$T_RSS"
  }
  measure page4 "$page4_repeat"
  rows_base=$(values page4 base rows | tr ' ' '\n' | sort -u | paste -sd' ')
  rows_new=$(values page4 new rows | tr ' ' '\n' | sort -u | paste -sd' ')
  if [[ $rows_base == "$rows_new" && $rows_base != *" "* ]]; then
    echo "check:  both sides' pages list $rows_base rows in every round"
  else
    echo "check:  the pages' rows DIFFER: BASE $rows_base, NEW $rows_new"
    failed=1
  fi

  title "results page (offscreen, page shown): Show Files to the final caption, 100,000 rows; $page4_repeat harnesses of $page4_rounds rounds per side and run"
  runs_table page4 "page:page s" "cpu:cpu s"
  header
  stat_rows page4 page "page s" decide
  # shellcheck disable=SC2046
  line "worst UI lateness ms, median" "$(median $(values page4 base late))" "$(median $(values page4 new late))" novote
  stat_rows page4 cli "cli search s (in the harness)"
  stat_rows page4 cpu "cpu s of the harness" decide
  rss_row page4 "peak RSS MiB of the harness"
  echo "  (cpu of the harness: its start, its untimed round and the timed ones, the command-line searches included)"
fi

# --- summary ----------------------------------------------------------------------------

# Every sample, for a closer look: BENCH SIDE FIGURE RUN VALUE.
samples=$bench_scratch/compare/last-samples.tsv
for key in "${!fig[@]}"; do
  [[ $key == *.r* ]] || continue
  IFS=. read -r b side name r <<<"$key"
  for v in ${fig[$key]}; do printf '%s\t%s\t%s\t%s\t%s\n' "$b" "$side" "$name" "${r#r}" "$v"; done
done | sort -k1,1 -k3,3 -k2,2 -k4,4n >"$samples"
echo
echo "every sample: $samples"
if ((${#slower[@]})); then
  echo "deciding figures over the band (NEW more than ${band}% slower than BASE):"
  printf '  %s\n' "${slower[@]}"
  failed=1
else
  echo "no deciding figure (*) is more than ${band}% slower on the NEW side"
fi
[[ $failed == 0 ]] || echo "compare: FAILED (see above)"
exit "$failed"
