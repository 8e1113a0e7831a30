#!/usr/bin/env bash
# Builds every fuzz target with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into
# build-fuzz, replays each target's seeds and known-bad inputs, then fuzzes each target for
# FUZZ_SECONDS (default 60; 0 replays only), one after the other in one process each. New
# inputs go to build-fuzz/corpus-work/<target>, a failing input to build-fuzz/artifacts/<target>.
# Ends with one line "N passed, M failed", one count per target; exits non-zero on a failure.
#
#   bash fuzz/RunFuzzers.sh                     FUZZ_SECONDS=3600 bash fuzz/RunFuzzers.sh
#
# Any argument is ignored (tests/run-all.sh passes its build folder).
set -uo pipefail
fuzz=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$fuzz")
build=$root/build-fuzz
seconds=${FUZZ_SECONDS:-60}
targets=(FuzzExpandPacket FuzzPackerRoundTrip FuzzCommandLine FuzzDecompressPacket)
passed=0
failed=0

# Every target's inputs stay far below the memory limit (each target caps the sizes it lets
# through); the slowest single input, a command line of thousands of arguments, takes seconds.
common=(-rss_limit_mb=2048 -timeout=30 -print_final_stats=1)
declare -A extra=(
  # Room for arguments past the 4,096-byte limit, twice over.
  [FuzzCommandLine]=-max_len=10000
  [FuzzPackerRoundTrip]=-max_len=8192
)

mkdir -p "$build"
if ! cmake -S "$fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
       -DCMAKE_CXX_COMPILER=clang++-14 >"$build/configure.log" 2>&1 \
   || ! cmake --build "$build" -j1 --target "${targets[@]}" >"$build/build.log" 2>&1; then
  echo "fuzz build failed:"
  tail -30 "$build/configure.log" "$build/build.log" 2>/dev/null
  echo "0 passed, ${#targets[@]} failed"
  exit 1
fi

for target in "${targets[@]}"; do
  program=$build/$target
  work=$build/corpus-work/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$work" "$artifacts"
  read -r -a options <<<"${extra[$target]:-}"

  # The saved inputs first: a known-bad input that fails again needs no fuzzing to show it.
  mapfile -t saved < <(find "$fuzz/corpus/$target" "$fuzz/known-bad/$target" -type f ! -name 'README*' | sort)
  # Given no input at all, libFuzzer would start fuzzing without a time limit.
  if [ ${#saved[@]} -eq 0 ]; then
    echo "$target: FAILED: no seeds in fuzz/corpus/$target"
    failed=$((failed + 1))
    continue
  fi
  if ! "$program" "${common[@]}" "${options[@]}" "${saved[@]}" >"$build/$target.replay.log" 2>&1; then
    echo "$target: FAILED on a saved input (${#saved[@]} replayed); see $build/$target.replay.log"
    grep -E '^(Running|fuzz target|SUMMARY)' "$build/$target.replay.log" | tail -3
    failed=$((failed + 1))
    continue
  fi
  if [ "$seconds" -le 0 ]; then
    echo "$target: ${#saved[@]} saved inputs replayed, no fuzzing (FUZZ_SECONDS=0)"
    passed=$((passed + 1))
    continue
  fi

  # The scratch folder comes first, so that libFuzzer writes its finds there, not into fuzz/.
  start=$SECONDS
  "$program" "$work" "$fuzz/corpus/$target" -max_total_time="$seconds" -artifact_prefix="$artifacts/" \
    "${common[@]}" "${options[@]}" >"$build/$target.log" 2>&1
  status=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$build/$target.log" | tail -1)
  summary="$target: ${runs:-?} executions in $((SECONDS - start)) s, ${#saved[@]} saved inputs replayed"
  if [ "$status" -eq 0 ]; then
    echo "$summary, no crash"
    passed=$((passed + 1))
  else
    echo "$summary, CRASHED (status $status); see $build/$target.log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz target|artifact_prefix|Test unit written)' "$build/$target.log" | head -4
    failed=$((failed + 1))
  fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
