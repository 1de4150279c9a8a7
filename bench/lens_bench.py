"""Horizontal lenses, the mirror and the phase against the vertical plate of
the same job, alternating; prints medians of wall time, CPU time and peak
memory. The worked example (12 views of 1000 x 1500 into 2 x 3 inches) and
the large job at half size (24 views of 1500 x 2250 into 10 x 15 inches at
4000 dpi, compress 10).

    /usr/bin/python3 bench/lens_bench.py BUILD_DIR [RUNS]
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


def cases(base, views):
    return {
        "vertical": [*base, *views],
        "horizontal": [*base, "--lenses", "horizontal", *views],
        "vertical, mirrored": [*base, "--mirror", *views],
        "horizontal, mirrored": [*base, "--lenses", "horizontal", "--mirror", *views],
        "vertical, phase 3/8": [*base, "--phase", "3/8", *views],
    }


work = tempfile.mkdtemp(prefix="plivora-lens-")
try:
    small = sample_views(sample, 12, "1000x1500", os.path.join(work, "small"))
    example = [interlace, "-q", "--unit", "inch", "--width", "2", "--height", "3"]
    for _ in range(2):  # warm the page cache and the font cache
        run([*example, "-o", os.path.join(work, "w.tif"), *small], os.path.join(work, "w.tif"), work)
    table("worked example", cases(example, small), runs * 5, work)

    large = sample_views(sample, 24, "1500x2250", os.path.join(work, "large"))
    job = [interlace, "-q", "--unit", "inch", "--width", "10", "--height", "15", "--dpi", "4000", "--compress", "10"]
    table("large job at half size", cases(job, large), runs, work, sync=True)
finally:
    shutil.rmtree(work)
