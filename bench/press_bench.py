"""The press sheet against the plain plate of the same job, alternating;
prints medians of wall time, CPU time and peak memory: bleed alone, and
bleed with marks (the slug margin, its marks drawn in bands), and a plain
plate of the marked plate's pixels, on the large
job at half size (24 views of 1500 x 2250 into 10 x 15 inches at 4000 dpi,
compress 10), plain and in 8 LZW panels.

    /usr/bin/python3 bench/press_bench.py BUILD_DIR [RUNS]
"""

import os
import shutil
import sys
import tempfile

from bench_support import run, sample_views, table

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
interlace = os.path.join(build, "src", "plivora-interlace")
sample = os.path.join(build, "src", "plivora-sample-views")

work = tempfile.mkdtemp(prefix="plivora-press-")
try:
    large = sample_views(sample, 24, "1500x2250", os.path.join(work, "large"))
    base = [interlace, "-q", "--unit", "inch", "--dpi", "4000", "--compress", "10"]
    job = [*base, "--width", "10", "--height", "15"]
    # The marked plate's pixels (10.25 x 15.25 bled, half an inch of margin a side) without marks.
    same_pixels = [*base, "--width", "11.25", "--height", "16.25"]
    run([*job, "-o", os.path.join(work, "w.tif"), *large], os.path.join(work, "w.tif"), work)  # warm the caches
    for title, extra in (("large job at half size", []),
                         ("in 8 LZW panels", ["--panels", "8", "--compression", "lzw"])):
        table(title, {
            "plain": [*job, *extra, *large],
            "--bleed 0.125": [*job, *extra, "--bleed", "0.125", *large],
            "--bleed 0.125 --marks": [*job, *extra, "--bleed", "0.125", "--marks", *large],
            "--marks, cmyk": [*job, *extra, "--marks", "--colour", "cmyk", *large],
            "plain, cmyk": [*job, *extra, "--colour", "cmyk", *large],
            "plain, the marked pixels": [*same_pixels, *extra, *large],
        }, runs, work, sync=True)
finally:
    shutil.rmtree(work)
