#!/usr/bin/env bash
# Builds every preset and runs every test: native, sanitizers, and the 32-bit Windows build
# under Wine. Ends with one line "N passed, N failed, N skipped" over all tests.
# On a machine whose kernel cannot run 32-bit programs (so neither can Wine), the win32 preset
# is still built and its checks that start no 32-bit program run; the tests under Wine are
# skipped, and one line says why and how many.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${PELLIX_JOBS:-2}
log=build/test-logs
mkdir -p "$log"

passed=0
failed=0
skipped=0
status=0
count() {  # adds the counts of a ctest log; sets `skips` to the tests it skipped
  local counts pass fails
  skips=0
  if ! counts=$(scripts/ctest-counts.sh "$1"); then
    failed=$((failed + 1))
    status=1
    return
  fi
  read -r pass fails skips <<<"$counts"
  passed=$((passed + pass))
  failed=$((failed + fails))
  skipped=$((skipped + skips))
  [ "$fails" -eq 0 ] || status=1
}

# Asked once: can this machine run 32-bit programs? (A failed probe is a failure.)
bits=$(scripts/probe-32bit.sh)
bits_answer=$?
if [ "$bits_answer" -ne 0 ] && [ "$bits_answer" -ne 77 ]; then
  echo "$bits"
  failed=$((failed + 1))
  status=1
fi

for preset in native sanitize win32; do
  echo "== $preset"
  if ! cmake --preset "$preset" >"$log/$preset-configure.log" 2>&1 ||
     ! cmake --build --preset "$preset" -j "$jobs" >"$log/$preset-build.log" 2>&1; then
    echo "build of $preset failed:"
    tail -n 40 "$log/$preset-configure.log" "$log/$preset-build.log"
    failed=$((failed + 1))
    status=1
    continue
  fi
  ctest --preset "$preset" -j "$jobs" --timeout 600 2>&1 | tee "$log/$preset-ctest.log" | grep -E 'tests passed|\*\*\*(Failed|Exception|Timeout)' || true
  count "$log/$preset-ctest.log"
  if [ "$preset" = win32 ] && [ "$bits_answer" -eq 77 ]; then
    echo "$bits: the $skips tests under Wine were skipped"
  fi
done

# The benchmarks must build (release preset); building them counts as one test.
echo "== release (benchmarks)"
if cmake --preset release >"$log/release-configure.log" 2>&1 &&
   cmake --build --preset release -j "$jobs" --target pellix_bench >"$log/release-build.log" 2>&1; then
  passed=$((passed + 1))
else
  echo "build of the benchmarks failed:"
  tail -n 40 "$log/release-configure.log" "$log/release-build.log"
  failed=$((failed + 1))
  status=1
fi

# The fuzz targets, each briefly under sanitizers (PELLIX_FUZZ_SECONDS=0 skips them); each
# target counts as one test.
if [ "${PELLIX_FUZZ_SECONDS:-30}" != 0 ]; then
  echo "== fuzz"
  PELLIX_FUZZ_SECONDS=${PELLIX_FUZZ_SECONDS:-30} scripts/run-fuzzers.sh 2>&1 | tee "$log/fuzz.log" |
    grep -E 'runs|FAILED|failed:' || true
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log/fuzz.log" | tail -n 1)
  if [ -n "$line" ]; then
    fuzz_passed=${line%% passed*}
    fuzz_failed=$(sed -E 's/.*passed, ([0-9]+) failed/\1/' <<<"$line")
  else
    fuzz_passed=0
    fuzz_failed=1
  fi
  passed=$((passed + fuzz_passed))
  failed=$((failed + fuzz_failed))
  [ "$fuzz_failed" -eq 0 ] || status=1
fi

echo "$passed passed, $failed failed, $skipped skipped"
exit $status
