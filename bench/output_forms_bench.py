"""Time, size and peak memory of each output form against the plain file:
the worked example (12 views of 1000 x 1500 into 7994 x 1280), the large job
(24 views of 3000 x 4500 into 20 x 30 inches, 79994 x 12080, 3.9 GB plain)
and a 24 x 36 inch BigTIFF (5.5 GB). Forms alternate within each run; every
large run starts after a sync. Prints medians. On a virtual machine the
large job's wall time swings with the kernel's page cache (the same run can
take 1.4 s or 3 s); its CPU time (user and system) is the steadier figure.

    /usr/bin/python3 bench/output_forms_bench.py BUILD_DIR [RUNS] [SCALE] [--no-huge]

SCALE n divides the large job's view and print sizes by n, for machines
without the disk (about 14 GB free under $TMPDIR at SCALE 1).
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile

from bench_support import run, sample_views

args = [a for a in sys.argv[1:] if not a.startswith("--")]
build = args[0]
runs = int(args[1]) if len(args) > 1 else 3
scale = int(args[2]) if len(args) > 2 else 1
huge = "--no-huge" not in sys.argv
interlace = os.path.join(build, "src", "plivora-interlace")
sample = os.path.join(build, "src", "plivora-sample-views")

FORMS = {
    "none": [],
    "packbits": ["--compression", "packbits"],
    "lzw": ["--compression", "lzw"],
    "deflate": ["--compression", "deflate"],
    "bigtiff": ["--bigtiff"],
    "bigtiff+lzw": ["--bigtiff", "--compression", "lzw"],
}


def table(title, base, views, repeats, sync):
    out = os.path.join(work, "out.tif")
    results = {name: [] for name in FORMS}
    for _ in range(repeats):
        for name, options in FORMS.items():
            if sync:
                subprocess.run(["sync"])
            results[name].append(run([interlace, "-q", *base, *options, "-o", out, *views], out, work))
    print("%s, medians of %d alternating runs:" % (title, repeats))
    none = statistics.median(r[0] for r in results["none"])
    for name, rs in results.items():
        seconds = statistics.median(r[0] for r in rs)
        cpu = statistics.median(r[1] for r in rs)
        peak = statistics.median(r[2] for r in rs)
        size = rs[0][3]
        print("  %-12s %8.3f s  x%5.2f   cpu %7.3f s   %10.1f MB  (%5.1f %% of none)   peak %6.1f MB"
              % (name, seconds, seconds / none, cpu, size / 1e6, 100 * size / results["none"][0][3], peak))


work = tempfile.mkdtemp(prefix="plivora-forms-")
try:
    small_views = sample_views(sample, 12, "1000x1500", os.path.join(work, "small"))
    example = ["--unit", "inch", "--width", "2", "--height", "3"]
    for _ in range(2):  # warm the page cache and the font cache
        run([interlace, "-q", *example, "-o", os.path.join(work, "w.tif"), *small_views], os.path.join(work, "w.tif"), work)
    table("worked example", example, small_views, runs * 5, False)

    w, h = 3000 // scale, 4500 // scale
    large_views = sample_views(sample, 24, "%dx%d" % (w, h), os.path.join(work, "large"))
    job = ["--unit", "inch", "--width", str(20 / scale), "--height", str(30 / scale), "--dpi", "4000",
           "--compress", "10"]
    table("large job (%d x %d views, %g x %g inches)" % (w, h, 20 / scale, 30 / scale), job, large_views, runs, True)

    if huge and scale == 1:
        out = os.path.join(work, "huge.tif")
        subprocess.run(["sync"])
        seconds, _, peak, size = run([interlace, "-q", "--unit", "inch", "--width", "36", "--height", "24", "--dpi",
                                      "4000", "--compress", "10", "--bigtiff", "-o", out, *large_views], out, work)
        print("24 x 36 inch BigTIFF: %.1f GB in %.2f s, peak %.1f MB" % (size / 1e9, seconds, peak))
finally:
    shutil.rmtree(work)
