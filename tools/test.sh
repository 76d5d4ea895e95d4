#!/usr/bin/env bash
# The test command (CI runs exactly this): installs what is missing, then
#   1. builds build/ (RelWithDebInfo, wizard and tests) and runs ctest there,
#      then checks its install and .deb with tools/package-check.sh;
#   2. builds build-asan/ under AddressSanitizer + UBSan and runs ctest there;
#   3. builds the wizard and its tests in build-tsan/ under ThreadSanitizer
#      and runs them, with the end-to-end cases labelled e2e-threads;
#   (the sanitizer trees are Debug builds: unoptimised code compiles three
#   times faster under the sanitizers, and keeps our assertions on);
#   4. runs tools/windows-check.sh when it exists;
#   5. builds the fuzz targets in build-fuzz/ and runs each for
#      QUORVANE_FUZZ_SECONDS (default 20) with tools/fuzz.sh, two at a time
#      (QUORVANE_FUZZ_JOBS), one a core.
# Every build here treats compiler warnings as errors (QUORVANE_WERROR).
# Every step runs even when an earlier one failed; the exit status is 0 only
# when all passed. QUORVANE_BUILD_DIR renames build/ (and the -asan, -tsan
# trees beside it), e.g. to test without touching a developer's build/.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${QUORVANE_BUILD_DIR:-build}
logs=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-test.XXXXXX")
trap 'rm -rf "$logs"' EXIT

export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-2}
export CTEST_OUTPUT_ON_FAILURE=1
# A sanitizer report fails the test at once, with a stack.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
# tools/lsan.supp names the system libraries whose own leaks are ignored.
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp"
# Qt's own libraries are not instrumented; tools/tsan.supp says what that hides.
# The longest history keeps the earlier access's stack, which the
# suppressions are matched against.
export TSAN_OPTIONS="halt_on_error=1:second_deadline_stack=1:history_size=7:suppressions=$root/tools/tsan.supp"

names=()
results=()
notes=()
started=$SECONDS

banner() { printf '\n==== %s ====\n' "$*"; }

# record NAME STATUS NOTE
record() {
  names+=("$1")
  results+=("$2")
  notes+=("$3")
}

# The closing lines ctest prints ("100% tests passed, ..."), for the summary.
ctest_verdict() { grep -E 'tests passed|tests failed|No tests were found' "$1" | tail -1; }

configure() {  # DIR BUILD_TYPE [cmake options...]
  local dir=$1 type=$2
  shift 2
  cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
    -DQUORVANE_BUILD_UI=ON -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_WERROR=ON "$@"
}

run_ctest() {  # NAME DIR [ctest options...]
  local name=$1 dir=$2
  shift 2
  local log="$logs/$name.ctest"
  (cd "$root/$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  if grep -q 'No tests were found' "$log"; then status=1; fi
  record "$name" "$status" "$(ctest_verdict "$log")"
}

step_start=$SECONDS
banner "setup"
if bash "$root/tools/setup.sh" --test; then record setup 0 ""; else record setup 1 "tools/setup.sh --test failed"; fi

banner "build: $build (RelWithDebInfo)"
step_start=$SECONDS
if configure "$build" RelWithDebInfo && cmake --build "$root/$build"; then
  banner "tests: $build"
  run_ctest "tests" "$build"
else
  record "tests" 1 "build failed"
fi
notes[-1]="${notes[-1]} ($((SECONDS - step_start)) s)"

# The install and the .deb from the tree just built: the installed files,
# then the package installed on this machine, both programs run from
# /usr/bin, and the package removed.
banner "install and .deb: $build"
step_start=$SECONDS
bash "$root/tools/package-check.sh" "$build" 2>&1 | tee "$logs/package.log"
case ${PIPESTATUS[0]} in
  0) record "install+deb" 0 "$(grep -o '[0-9]* bytes' "$logs/package.log" | head -1) .deb" ;;
  77) record "install+deb" skip "not root: the .deb was built but not installed" ;;
  *) record "install+deb" 1 "$(grep 'FAIL' "$logs/package.log" | tail -1)" ;;
esac
notes[-1]="${notes[-1]} ($((SECONDS - step_start)) s)"

# Line tables are all a sanitizer's stacks need (functions, files, lines);
# full debug information costs a fifth more compile time.
sanitizer_debug=(-DCMAKE_CXX_FLAGS_DEBUG=-g1)

banner "build: $build-asan (address,undefined)"
step_start=$SECONDS
if configure "$build-asan" Debug -DQUORVANE_SANITIZE=address,undefined "${sanitizer_debug[@]}" &&
  cmake --build "$root/$build-asan"; then
  banner "tests: $build-asan"
  # The end-to-end cases run in the normal and the ThreadSanitizer trees.
  run_ctest "asan+ubsan" "$build-asan" -LE '^e2e$'
else
  record "asan+ubsan" 1 "build failed"
fi
notes[-1]="${notes[-1]} ($((SECONDS - step_start)) s)"

banner "build: $build-tsan (thread, wizard tests only)"
step_start=$SECONDS
if configure "$build-tsan" Debug -DQUORVANE_SANITIZE=thread "${sanitizer_debug[@]}"; then
  # (grep reads to the end: with -q it could stop early and, under pipefail,
  # fail the pipe with ninja's SIGPIPE.)
  if ninja -C "$root/$build-tsan" -t targets all | grep '^quorvane_ui_tests:' >/dev/null; then
    if cmake --build "$root/$build-tsan" --target quorvane_ui_tests quorvane; then
      banner "tests: $build-tsan (wizard)"
      run_ctest "tsan (wizard)" "$build-tsan" -L '^(ui|e2e-threads)$'
    else
      record "tsan (wizard)" 1 "build failed"
    fi
  else
    record "tsan (wizard)" skip "no wizard tests yet"
  fi
else
  record "tsan (wizard)" 1 "configure failed"
fi
notes[-1]="${notes[-1]} ($((SECONDS - step_start)) s)"

if [[ -f $root/tools/windows-check.sh ]]; then
  banner "windows check"
  step_start=$SECONDS
  if bash "$root/tools/windows-check.sh"; then
    record "windows check" 0 "($((SECONDS - step_start)) s)"
  else
    record "windows check" 1 "($((SECONDS - step_start)) s)"
  fi
else
  record "windows check" skip "no tools/windows-check.sh"
fi

banner "fuzz: $build-fuzz (${QUORVANE_FUZZ_SECONDS:-20} s a target)"
step_start=$SECONDS
if QUORVANE_FUZZ_BUILD_DIR="$build-fuzz" QUORVANE_FUZZ_JOBS=${QUORVANE_FUZZ_JOBS:-2} bash "$root/tools/fuzz.sh" "${QUORVANE_FUZZ_SECONDS:-20}" \
  2>&1 | tee "$logs/fuzz.log" | grep '^fuzz:'; [[ ${PIPESTATUS[0]} == 0 ]]; then
  record "fuzz" 0 "$(tail -1 "$logs/fuzz.log" | sed 's/^fuzz: //') ($((SECONDS - step_start)) s)"
else
  tail -n 40 "$logs/fuzz.log"
  record "fuzz" 1 "($((SECONDS - step_start)) s)"
fi

banner "summary"
failed=0
for i in "${!names[@]}"; do
  case ${results[$i]} in
    0) verdict=PASS ;;
    skip) verdict=SKIP ;;
    *) verdict=FAIL; failed=1 ;;
  esac
  printf '%-16s %-5s %s\n' "${names[$i]}" "$verdict" "${notes[$i]}"
done
echo "total time: $((SECONDS - started)) s"
if ((failed)); then
  echo "RESULT: FAIL"
  exit 1
fi
echo "RESULT: PASS"
