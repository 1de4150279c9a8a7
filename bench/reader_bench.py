"""Plates from 24 CMYK views in the one-strip layout, the classic job's fast
path, made by two builds in turn (this one and a baseline, say one of the
branch point), so that a change to the readers shows what it costs there;
prints medians of wall time, CPU time and peak memory, the baseline first.

    /usr/bin/python3 bench/reader_bench.py BUILD_DIR BASELINE_BUILD_DIR [RUNS [WIDTH_INCHES]]

Needs /usr/bin/time (scripts/install-deps.sh bench).
"""

import os
import shutil
import sys
import tempfile

from bench_support import sample_views, table

build, baseline = sys.argv[1], sys.argv[2]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 11
width = sys.argv[4] if len(sys.argv) > 4 else "2"  # inches

work = tempfile.mkdtemp(prefix="plivora-bench-")
try:
    views = sample_views(os.path.join(build, "src", "plivora-sample-views"), 24, "1000x1500", work)
    for colour in ["grey", "cmyk"]:
        cases = {
            f"baseline, {colour} plate": [os.path.join(baseline, "src", "plivora-interlace"), "-q", "--colour", colour,
                                          "--unit", "inch", "--width", width, *views],
            f"this build, {colour} plate": [os.path.join(build, "src", "plivora-interlace"), "-q", "--colour", colour,
                                            "--unit", "inch", "--width", width, *views],
        }
        table(f"24 views of 1000 x 1500 into {width} inches, {colour} plate", cases, runs, work)
finally:
    shutil.rmtree(work)
