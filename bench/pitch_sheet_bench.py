"""Times the whole plivora-pitch-test process on the default coarse sheet
(8 inches at 4000 dpi, compress 10, 11 strips) against the same sheet with
strips 4 times taller, alternating the two, and prints the medians of wall
time and peak memory: the taller sheet must peak within 8 MB of the default
one, since rows are streamed and memory is flat in the sheet's height.

    /usr/bin/python3 bench/pitch_sheet_bench.py BUILD_DIR [RUNS]
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
program = os.path.join(build, "src", "plivora-pitch-test")
work = tempfile.mkdtemp(prefix="plivora-pitch-bench-")
out = os.path.join(work, "sheet.tif")


def measure(*args):
    """(wall seconds, peak MB, file MB) of one run, writing a new file."""
    if os.path.exists(out):
        os.remove(out)
    result = subprocess.run(["/usr/bin/time", "-v", program, "-q", *args, "-o", out], capture_output=True,
                            text=True, check=True)
    wall = re.search(r"Elapsed \(wall clock\) time.*: (.+)", result.stderr).group(1).split(":")
    seconds = sum(float(p) * 60 ** i for i, p in enumerate(reversed(wall)))
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))
    return seconds, rss / 1024, os.path.getsize(out) / 1e6


jobs = {"default sheet": [], "strips x4": ["--strip", "2"]}
figures = {name: [] for name in jobs}
for _ in range(runs):
    for name, args in jobs.items():
        figures[name].append(measure(*args))
for name, values in figures.items():
    time_s = statistics.median(v[0] for v in values)
    peak = statistics.median(v[1] for v in values)
    print(f"{name:14s}: {values[0][2]:7.0f} MB file, {time_s:5.2f} s, {peak:6.1f} MB peak (median of {runs})")
rise = statistics.median(v[1] for v in figures["strips x4"]) - statistics.median(v[1] for v in figures["default sheet"])
print(f"peak memory of the 4 times taller sheet: {rise:+.1f} MB ({'within' if rise <= 8 else 'OVER'} 8 MB)")
os.remove(out)
os.rmdir(work)
