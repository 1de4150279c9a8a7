"""The views stage against its targets, on the half-size large job (24 views
of 1500 x 2250 into 10 x 15 inches at 4000 dpi, compress 10):

1. the export's loop with the views read plainly, then through aligned
   readers (whole shifts; fractional shifts; fractional shifts and turns):
   wall time, CPU time and peak memory, alternating, medians (target: 1.3 x
   the time and 20 MB over the plain run);
2. the reading alone, on the reading thread's CPU clock;
3. aligning the 24 views: measuring every neighbour pair, the key plane and
   the depth budget (target: under 3 s).

    /usr/bin/python3 bench/align_bench.py BUILD_DIR [RUNS]

The output goes to $TMPDIR (default /tmp); /dev/shm takes the disk out of
the figures.
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_support  # noqa: E402

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
sample = os.path.join(build, "src", "plivora-sample-views")
export = os.path.join(build, "bench", "aligned_export_bench")
read = os.path.join(build, "bench", "aligned_read_bench")
align = os.path.join(build, "bench", "align_series_bench")

work = tempfile.mkdtemp(prefix="plivora-align-")
try:
    views = bench_support.sample_views(sample, 24, "1500x2250", work)
    cases = {mode: [export, mode, "10", "15", *views]
             for mode in ("plain", "whole", "shifted", "turned")}
    bench_support.table("export loop, 24 views of 1500 x 2250 into 10 x 15 in", cases, runs, work)
    print()
    subprocess.run([read, str(runs), "10", "15", *views], check=True)
    if os.path.exists(align):
        print()
        subprocess.run([align, str(runs), *views], check=True)
finally:
    shutil.rmtree(work)
