"""What the Python benchmarks share: one export timed with its peak memory,
tables of alternating runs with medians, and the sample series."""

import os
import statistics
import subprocess
import sys
import time


def run(cmd, out, work):
    """Wall seconds, CPU seconds (user and system), peak resident MB and the
    bytes written of one export writing `out` (removed after, with its
    panels). The peak comes from
    /usr/bin/time, whose child starts small: a child of this Python process
    would count the Python process's pages, which it starts with, as its own."""
    if os.path.exists(out):
        os.remove(out)
    figures = os.path.join(work, "peak.txt")
    start = time.perf_counter()
    process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", figures, *cmd])
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("failed: %s" % " ".join(cmd))
    size = 0
    for name in os.listdir(os.path.dirname(out)):  # the file, or its panels
        if name.startswith(os.path.basename(out).rsplit(".", 1)[0]):
            size += os.path.getsize(os.path.join(os.path.dirname(out), name))
            os.remove(os.path.join(os.path.dirname(out), name))
    return seconds, usage.ru_utime + usage.ru_stime, int(open(figures).read().split()[-1]) / 1024, size


def table(title, cases, repeats, work, sync=False):
    """cases: name -> command line without -o; runs them in turn `repeats`
    times and prints medians against the first. Returns the runs."""
    out = os.path.join(work, "out.tif")
    results = {name: [] for name in cases}
    for _ in range(repeats):
        for name, cmd in cases.items():
            if sync:
                subprocess.run(["sync"])
            results[name].append(run([*cmd, "-o", out], out, work))
    print("%s, medians of %d alternating runs:" % (title, repeats))
    first = None
    for name, rs in results.items():
        wall = statistics.median(r[0] for r in rs)
        cpu = statistics.median(r[1] for r in rs)
        peak = statistics.median(r[2] for r in rs)
        first = first or (wall, cpu, peak)
        print("  %-28s %7.3f s  x%5.2f   cpu %7.3f s  x%5.2f   peak %6.1f MB (%+.1f)"
              % (name, wall, wall / first[0], cpu, cpu / first[1], peak, peak - first[2]))
    return results


def sample_views(sample, count, size, folder):
    subprocess.run([sample, "--views", str(count), "--size", size, folder], check=True, stdout=subprocess.DEVNULL)
    return sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".tif"))
