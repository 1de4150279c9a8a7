#!/usr/bin/env bash
# Builds the view-reader fuzzer with clang-14 and runs it.
#
#   tests/fuzz/run.sh [SECONDS]     fuzz for SECONDS (default 600), one process
#   tests/fuzz/run.sh --merge       minimise corpus + work corpus into build-fuzz/merged
#
# The run starts from tests/fuzz/corpus and grows a work corpus in
# build-fuzz/work; crashes land in build-fuzz/ as crash-* files. Inputs that
# found something belong in tests/fuzz/corpus (kept small), which the normal
# test run replays through the readers.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh fuzz
build=build-fuzz
cmake -S tests/fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j2 --target fuzz_source >/dev/null
mkdir -p "$build/work"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

if [ "${1:-}" = "--merge" ]; then
  mkdir -p "$build/merged"
  # Edges only (no hit counts), so that few files are kept.
  "$build/fuzz_source" -merge=1 -use_counters=0 -max_len=4096 "$build/merged" tests/fuzz/corpus "$build/work"
  echo "merged corpus: $build/merged ($(ls "$build/merged" | wc -l) files); copy the few that matter into tests/fuzz/corpus"
  exit 0
fi

seconds="${1:-600}"
cd "$build"
./fuzz_source -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 work ../tests/fuzz/corpus
