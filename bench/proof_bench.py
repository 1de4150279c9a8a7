"""The lens proof of a 24-view plate of 40000 x 6040 image rows (10 x 15.1
inches at 4000 dpi, compress 10, 75 LPI: about 980 MB) at one angle,
against reading the plate once through the same reader, alternating;
prints medians of wall time, CPU time and peak memory. Also the plate of
horizontal lenses, where only the row each lens shows is read, and an eye
at 600 mm.

    /usr/bin/python3 bench/proof_bench.py BUILD_DIR [RUNS]
"""

import os
import shutil
import subprocess
import sys
import tempfile

from bench_support import sample_views, table

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
interlace = os.path.join(build, "src", "plivora-interlace")
proof = os.path.join(build, "src", "plivora-proof")
sample = os.path.join(build, "src", "plivora-sample-views")
baseline = os.path.join(build, "bench", "plate_read_baseline")

work = tempfile.mkdtemp(prefix="plivora-proof-")
try:
    views = sample_views(sample, 24, "1500x2250", os.path.join(work, "views"))
    job = [interlace, "-q", "--unit", "inch", "--width", "10", "--height", "15.1", "--dpi", "4000",
           "--lpi", "75", "--compress", "10"]
    vertical = os.path.join(work, "plate.tif")
    subprocess.run([*job, "-o", vertical, *views], check=True)
    look = [proof, "-q", "--lpi", "75", "--angle", "0"]
    table("vertical lenses, 40000 x 6040", {
        "read the plate once": [baseline, vertical],
        "proof, one angle": [*look, vertical],
        "proof, eye at 600 mm": [*look, "--distance", "600mm", vertical],
    }, runs, work)
    os.remove(vertical)

    horizontal = os.path.join(work, "plate-h.tif")
    subprocess.run([*job, "--lenses", "horizontal", "-o", horizontal, *views], check=True)
    table("horizontal lenses, the same plate turned", {
        "read the plate once": [baseline, horizontal],
        "proof, one angle": [*look, "--lenses", "horizontal", horizontal],
    }, runs, work)
finally:
    shutil.rmtree(work)
