"""Times the whole plivora-interlace process on the worked example (12 views
of 1000 x 1500 into 7994 x 1280) against a plain program that reads the same
source rows and writes the same number of bytes, alternating the two, and
prints the median ratio; then the peak memory of the example and of a job
ten times taller.

    /usr/bin/python3 bench/interlace_bench.py BUILD_DIR [RUNS]
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

build = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
interlace = os.path.join(build, "src", "plivora-interlace")
baseline = os.path.join(build, "bench", "interlace_baseline")
sample = os.path.join(build, "src", "plivora-sample-views")

work = tempfile.mkdtemp(prefix="plivora-bench-")
subprocess.run([sample, "--views", "12", "--size", "1000x1500", work], check=True, stdout=subprocess.DEVNULL)
views = sorted(os.path.join(work, n) for n in os.listdir(work) if n.endswith(".tif"))
out = os.path.join(work, "out.tif")
plain = os.path.join(work, "plain.tif")
data_offset = 8 + 2 + 11 * 12 + 4 + 8  # the sample writer's layout


def export_cmd(height="3", output=out):
    return [interlace, "-q", "--unit", "inch", "--width", "2", "--height", height, "-o", output, *views]


# Worked example: 1200 image rows + 80 strip rows of 7994 pixels; row step 1.25.
baseline_cmd = [baseline, plain, "1200", "1250000000", "7994", "1280", str(data_offset), "1000", *views]


def timed(cmd):
    # A fresh output path each run: replacing an earlier file would add the
    # flush the export makes before an earlier file loses its name.
    for path in (out, plain):
        if os.path.exists(path):
            os.remove(path)
    start = time.perf_counter()
    subprocess.run(cmd, check=True)
    return time.perf_counter() - start


for _ in range(3):  # warm the page cache and the font cache
    timed(export_cmd())
    timed(baseline_cmd)
timed(export_cmd())
size = os.path.getsize(out)
timed(baseline_cmd)
if size != os.path.getsize(plain):
    sys.exit("the baseline writes %d bytes, the export %d" % (os.path.getsize(plain), size))

ours, theirs, ratios = [], [], []
for _ in range(runs):
    a = timed(export_cmd())
    b = timed(baseline_cmd)
    ours.append(a)
    theirs.append(b)
    ratios.append(a / b)
print("worked example, %d alternating runs:" % runs)
print("  plivora-interlace  median %.1f ms (min %.1f)" % (statistics.median(ours) * 1e3, min(ours) * 1e3))
print("  plain read/write   median %.1f ms (min %.1f)" % (statistics.median(theirs) * 1e3, min(theirs) * 1e3))
print("  median ratio       %.2f" % statistics.median(ratios))


def peak_kb(cmd):
    result = subprocess.run(["/usr/bin/time", "-v", *cmd], capture_output=True, text=True, check=True)
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))


print("peak memory (maximum resident set):")
print("  worked example (1280 rows)      %6.1f MB" % (peak_kb(export_cmd()) / 1024))
print("  ten times taller (12080 rows)   %6.1f MB" % (peak_kb(export_cmd("30")) / 1024))
print("  plain read/write                %6.1f MB" % (peak_kb(baseline_cmd) / 1024))
subprocess.run(["rm", "-rf", work])
