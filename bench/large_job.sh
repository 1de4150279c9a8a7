#!/usr/bin/env bash
# The large job: 24 views of 3000 x 4500 interlaced into 20 x 30 inches at
# 4000 dpi, compress 10 (79994 x 12080 pixels, about 3.9 GB), first with views
# in the strip layout, then with the same views LZW-compressed. Each export
# is timed against a plain program that reads the same source rows (decoding
# them with libtiff) and writes as many bytes, in the same run; wall time and
# peak memory come from /usr/bin/time -v.
#
#   bench/large_job.sh BUILD_DIR [RUNS] [SCALE] [THREADS...]
#
# BUILD_DIR holds a Release build with benchmarks (src/plivora-interlace,
# src/plivora-sample-views, bench/large_baseline).
# SCALE n divides the view sizes and the print size by n (output n^2 times
# smaller), for machines without the disk for the full job. Needs ~7 GB free
# under $TMPDIR (default /tmp) at SCALE 1. THREADS lists the --threads
# counts to time, alternating within each run (default: the program's own
# choice). Every run starts after a sync, so that the write-back of the run
# before does not land on it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
"$here/../scripts/install-deps.sh" bench
runs="${2:-1}"
scale="${3:-1}"
shift $(( $# < 3 ? $# : 3 ))
thread_counts=("${@:-0}")
interlace="$build/src/plivora-interlace"
sample="$build/src/plivora-sample-views"

view_w=$((3000 / scale)) view_h=$((4500 / scale))
width_in=$(/usr/bin/python3 -c "print(20 / $scale)") height_in=$(/usr/bin/python3 -c "print(30 / $scale)")
dpi=4000 lpi=75.5555555555555 compress=10

work="$(mktemp -d "${TMPDIR:-/tmp}/plivora-large.XXXXXX")"
trap 'rm -rf "$work"' EXIT
need_kb=$(( (24 * view_w * view_h * 4 * 2 + 79994 * 12080 * 4 / scale / scale) / 1024 + 1048576 ))
free_kb=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
echo "disk: $((free_kb / 1048576)) GiB free under $work, about $((need_kb / 1048576)) GiB needed"
if [ "$free_kb" -lt "$need_kb" ]; then
  echo "not enough disk for SCALE $scale; try a larger SCALE" >&2
  exit 1
fi

baseline="$build/bench/large_baseline"
[ -x "$baseline" ] || { echo "no $baseline: configure with -DPLIVORA_BENCH=ON and build" >&2; exit 1; }

echo "writing 24 views of ${view_w} x ${view_h} ..."
mkdir -p "$work/plain" "$work/lzw"
"$sample" --views 24 --size "${view_w}x${view_h}" "$work/plain" >/dev/null
for v in "$work"/plain/*.tif; do tiffcp -c lzw "$v" "$work/lzw/$(basename "$v")"; done
echo "views: plain $(du -sh "$work/plain" | cut -f1), LZW $(du -sh "$work/lzw" | cut -f1)"

# The export's geometry, for the baseline (rounding to nearest, ties to even).
read -r out_w out_rows file_rows < <(/usr/bin/python3 - "$width_in" "$height_in" "$dpi" "$lpi" "$compress" <<'PY'
import sys
w, h, dpi, lpi, c = (float(a) for a in sys.argv[1:])
lenses = round(w * lpi)
out_w = round(lenses * (dpi / lpi))
rows = int(round(h * dpi) // c)
strip = round(0.2 * dpi / c)
print(out_w, rows, rows + strip)
PY
)
echo "output: $out_w x $file_rows pixels ($out_rows image rows), $((out_w * file_rows * 4 / 1000000)) MB"

# Runs a command under /usr/bin/time -v; prints "WALL_SECONDS PEAK_MB".
measure() {
  local log="$work/time.log"
  /usr/bin/time -v "$@" 2>"$log" >/dev/null || { cat "$log" >&2; return 1; }
  /usr/bin/python3 - "$log" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
wall = re.search(r"Elapsed \(wall clock\) time.*: (.+)", text).group(1).split(":")
seconds = sum(float(p) * 60 ** i for i, p in enumerate(reversed(wall)))
rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1))
print(f"{seconds:.2f} {rss / 1024:.0f}")
PY
}

out="$work/out.tif"
# The first gigabytes written after the machine has idled come at a fraction
# of the usual speed here, whichever program writes them: one untimed export
# and baseline go first.
"$interlace" -q --unit inch --width "$width_in" --height "$height_in" --dpi "$dpi" --lpi "$lpi" \
  --compress "$compress" -o "$out" "$work"/plain/*.tif
rm -f "$out"
"$baseline" "$out" "$out_rows" "$view_h" "$out_w" "$file_rows" 334 "$work"/plain/*.tif
rm -f "$out"
for kind in plain lzw; do
  views=("$work/$kind"/*.tif)
  for run in $(seq 1 "$runs"); do
    for threads in "${thread_counts[@]}"; do
      option=()
      [ "$threads" = 0 ] || option=(--threads "$threads")
      sync
      read -r ex_s ex_mb < <(measure "$interlace" -q "${option[@]}" --unit inch --width "$width_in" \
        --height "$height_in" --dpi "$dpi" --lpi "$lpi" --compress "$compress" -o "$out" "${views[@]}")
      size=$(stat -c %s "$out")
      header=$((size - out_w * file_rows * 4))
      rm -f "$out"
      sync
      read -r base_s base_mb < <(measure "$baseline" "$out" "$out_rows" "$view_h" "$out_w" "$file_rows" \
        "$header" "${views[@]}")
      base_size=$(stat -c %s "$out")
      rm -f "$out"
      [ "$base_size" = "$size" ] || echo "warning: baseline wrote $base_size bytes, export $size" >&2
      ratio=$(/usr/bin/python3 -c "print(f'{$ex_s / $base_s:.2f}')")
      printf '%-5s run %d threads %-3s: export %6.2f s %5s MB peak | baseline %6.2f s %5s MB peak | ratio %s | %s bytes\n' \
        "$kind" "$run" "$threads" "$ex_s" "$ex_mb" "$base_s" "$base_mb" "$ratio" "$size"
    done
  done
done
