#!/usr/bin/env bash
# The benchmark command: builds what it needs, makes the corpus, and prints one table with every
# figure beside its reference; the table is kept in bench/RESULTS.md.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
corpus=$build/corpus
bash "$root/.ci/install-deps" bench
[ -f "$corpus/Package.tar" ] || bash "$root/tools/MakeCorpus.sh" "$corpus" >/dev/null
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVORIN_TESTS=OFF \
  -DTALVORIN_BENCH_PACKAGE="$corpus/Package.tar" >/dev/null
cmake --build "$build" -j2 >/dev/null
python3 "$root/bench/Bench.py" "$build" "$corpus" "$root/bench/RESULTS.md"
