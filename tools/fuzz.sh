#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UBSan) and runs each
# for SECONDS (default 20), one after another, from the committed seeds in
# tests/fuzz/seeds/<target>/ and the corpus kept in BUILD/corpus/<target>/.
# A run over one second is a hang. Prints each target's executions and the
# total; exits non-zero on any crash, hang, leak or sanitizer report.
#
# Usage: tools/fuzz.sh [SECONDS] [TARGET...]
#   QUORVANE_FUZZ_BUILD_DIR  build tree (default build-fuzz)
#   QUORVANE_FUZZ_JOBS       targets run at once (default 1)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(boot_layout_fuzzer search_fuzzer undelete_fuzzer exfat_entry_set_fuzzer partition_table_fuzzer
  format_check_fuzzer)
build="$root/${QUORVANE_FUZZ_BUILD_DIR:-build-fuzz}"
jobs=${QUORVANE_FUZZ_JOBS:-1}
compiler=$(command -v clang++-14 || command -v clang++) || { echo "fuzz: clang++ is not installed" >&2; exit 1; }

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$compiler" \
  -DQUORVANE_BUILD_UI=OFF -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_SANITIZE=address,undefined \
  -DQUORVANE_BUILD_FUZZ=ON -DQUORVANE_WERROR=ON >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
ninja -C "$build" "${targets[@]}" || exit 1

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run_one() {
  local target=$1
  mkdir -p "$build/corpus/$target" "$build/crashes/$target"
  "$build/$target" -max_total_time="$seconds" -timeout=1 -max_len=65536 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/crashes/$target/" \
    "$build/corpus/$target" "$root/tests/fuzz/seeds/$target" >"$build/$target.log" 2>&1
  local status=$?
  local runs
  runs=$(grep -m1 'stat::number_of_executed_units' "$build/$target.log" | awk '{print $2}')
  echo "fuzz: $target: ${runs:-?} executions in $seconds s, exit status $status"
  if ((status != 0)); then grep -E 'ERROR|SUMMARY|Test unit written' "$build/$target.log" | head -20; fi
  return $status
}

failed=0
pids=()
for target in "${targets[@]}"; do
  run_one "$target" &
  pids+=($!)
  if ((${#pids[@]} >= jobs)); then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done

total=0
for target in "${targets[@]}"; do
  runs=$(grep -m1 'stat::number_of_executed_units' "$build/$target.log" | awk '{print $2}')
  total=$((total + ${runs:-0}))
done
echo "fuzz: $total executions in all"
exit $failed
