#!/usr/bin/env bash
# Builds the launcher and passes every test: the native build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows builds (the 64-bit one under Wine)
# and a bounded run of every fuzz target. Ends with one line: "N passed, M failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}
passed=0
failed=0

# CountCtest LOG: adds a ctest run's totals to ours.
count_ctest() {
  local line total bad
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

# Suite NAME BUILD_DIR CMAKE_ARGS…: configure, build and test one build.
suite() {
  local name=$1 dir=$2
  shift 2
  echo "=== $name"
  if ! cmake -S "$root" -B "$dir" "$@" >"$dir.configure.log" 2>&1 \
     || ! cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1; then
    echo "$name: build failed"; tail -40 "$dir.configure.log" "$dir.build.log" 2>/dev/null
    failed=$((failed + 1)); return
  fi
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure --timeout 300 2>&1 | tee "$dir.test.log" | tail -3
  count_ctest "$dir.test.log"
}

mkdir -p "$root/build" "$root/build-asan"
suite "native" "$root/build" -DCMAKE_BUILD_TYPE=Release
suite "sanitizers" "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVORIN_SANITIZE=ON

# A bounded fuzzing run per target in every test run; FUZZ_SECONDS=3600 for a real one.
export FUZZ_SECONDS=${FUZZ_SECONDS:-40}
for extra in "$root"/tests/windows/BuildAndTest.sh "$root"/fuzz/RunFuzzers.sh; do
  [ -f "$extra" ] || continue
  echo "=== $(basename "$(dirname "$extra")")"
  bash "$extra" "$root/build" 2>&1 | tee "$root/build/$(basename "$extra").log" | tail -15
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$root/build/$(basename "$extra").log" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); continue; fi
  passed=$((passed + $(cut -d' ' -f1 <<<"$line")))
  failed=$((failed + $(cut -d' ' -f3 <<<"$line")))
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
