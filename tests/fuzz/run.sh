#!/usr/bin/env bash
# Builds a fuzzer with clang-14 and runs it: `source` (the view readers and
# profiles, the default), `plate` (plates as the lens proof reads and sees
# them) or `job` (job files, profiles, the print setup).
#
#   tests/fuzz/run.sh [SECONDS [TARGET]]   fuzz for SECONDS (default 600), one process
#   tests/fuzz/run.sh --merge [TARGET]     minimise corpus + work corpus into build-fuzz/merged
#
# The run starts from tests/fuzz/corpus (job-corpus for `job`) and grows a
# work corpus in build-fuzz/work (work-plate, work-job); crashes land in build-fuzz/ as
# crash-* files. Inputs that found something belong in the corpus (kept
# small), which the normal test run replays.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh fuzz
build=build-fuzz
cmake -S tests/fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
target="${2:-source}"
case "$target" in
  source) corpus=tests/fuzz/corpus work=work ;;
  plate) corpus=tests/fuzz/corpus work=work-plate ;;
  job) corpus=tests/fuzz/job-corpus work=work-job ;;
  *) echo "run.sh: no fuzzer \"$target\" (source, plate, job)" >&2; exit 2 ;;
esac
cmake --build "$build" -j2 --target "fuzz_$target" >/dev/null
mkdir -p "$build/$work"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

if [ "${1:-}" = "--merge" ]; then
  mkdir -p "$build/merged"
  # Edges only (no hit counts), so that few files are kept.
  "$build/fuzz_$target" -merge=1 -use_counters=0 -max_len=4096 "$build/merged" "$corpus" "$build/$work"
  echo "merged corpus: $build/merged ($(ls "$build/merged" | wc -l) files); copy the few that matter into tests/fuzz/corpus"
  exit 0
fi

seconds="${1:-600}"
cd "$build"
./"fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 "$work" "../$corpus"
