#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time from
# freshly generated seed files. Usage: tests/fuzz/run.sh [seconds per target]
# (default 60); TB_FUZZ_DIR picks the build folder (default build/fuzz).
# Exits non-zero when a target finds a fault or does not build.
set -u
cd "$(dirname "$0")/../.."
seconds=${1:-60}
dir=${TB_FUZZ_DIR:-build/fuzz}
mkdir -p "$dir"
if ! CXX=clang++-14 cmake -S tests/fuzz -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$dir.configure.log" 2>&1; then
  cat "$dir.configure.log"; echo "fuzz: configure FAILED"; exit 1
fi
if ! cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 4)" >"$dir.build.log" 2>&1; then
  grep -E -A8 'error' "$dir.build.log" | head -n 60; echo "fuzz: build FAILED"; exit 1
fi
corpus=$dir/corpus
rm -rf "$corpus"
mkdir -p "$corpus/bmp" "$corpus/tga" "$corpus/program" "$corpus/native" "$corpus/bank"
"$dir/fuzz_seeds" "$corpus" || { echo "fuzz: seeds FAILED"; exit 1; }

passed=0
failed=0
for target in bmp_reader tga_reader program_state native_state bank_reader; do
  seeds=$corpus/${target%_*}
  log=$dir/$target.log
  mkdir -p "$dir/artifacts"
  ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$dir/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" "$seeds" >"$log" 2>&1
  rc=$?
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  if [ $rc -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz_$target: ${runs:-?} inputs in ${seconds}s, no fault"
  else
    failed=$((failed + 1))
    echo "fuzz_$target: FAULT (exit $rc), log $log"
    grep -E -A30 'ERROR|runtime error|deadly signal' "$log" | head -n 40
  fi
done
if [ $failed -eq 0 ]; then
  echo "fuzz: all $passed targets ran clean"
else
  echo "fuzz: $failed of $((passed + failed)) targets found faults"
fi
[ $failed -eq 0 ]
