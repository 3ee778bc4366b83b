#!/usr/bin/env bash
# Builds the libFuzzer drivers with clang under address and undefined-behaviour sanitizers and
# runs each target for a bounded time, starting from the seed corpus in tests/fuzz/corpus.
# New inputs go to build/fuzz/corpus/<target>; a failing input is kept as
# build/fuzz/artifacts/<target>-crash-*. Ends with one line "N passed, N failed" (targets).
#   PELLIX_FUZZ_SECONDS  time per target (default 45)
#   PELLIX_JOBS          build jobs (default 2)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${PELLIX_FUZZ_SECONDS:-45}
jobs=${PELLIX_JOBS:-2}
build=build/fuzz
log=build/test-logs
mkdir -p "$log"
targets="settings tables startup sim loop"

flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
if ! cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
       -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
       -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DPELLIX_FUZZ=ON \
       >"$log/fuzz-configure.log" 2>&1 ||
   ! cmake --build "$build" -j "$jobs" --target $(printf 'fuzz_%s ' $targets) \
       >"$log/fuzz-build.log" 2>&1; then
  echo "build of the fuzz targets failed:"
  tail -n 40 "$log/fuzz-configure.log" "$log/fuzz-build.log"
  echo "0 passed, 1 failed"
  exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
passed=0
failed=0
for target in $targets; do
  mkdir -p "$build/corpus/$target" "$build/artifacts"
  if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
       "$build/corpus/$target" "tests/fuzz/corpus/$target" >"$log/fuzz-$target.log" 2>&1; then
    echo "fuzz_$target: $(grep -E '^stat::number_of_executed_units' "$log/fuzz-$target.log" |
                          awk '{print $2}') runs, no fault"
    passed=$((passed + 1))
  else
    echo "fuzz_$target FAILED:"
    grep -E 'invariant broken|ERROR: |runtime error|SUMMARY' "$log/fuzz-$target.log" | head -n 5
    ls "$build/artifacts/$target-"* 2>/dev/null | head -n 3
    failed=$((failed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
