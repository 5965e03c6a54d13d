#!/usr/bin/python3
"""The picture shrink against vipsthumbnail and ImageMagick, on a 24-megapixel JPEG.

  bench/shrink.py [--runs N] [--width W --height H] [--program PATH]

Makes a photo-like JPEG of W x H (default 6000 x 4000, quality 95) with bench_shrink, shrinks it
with the program's code (bench_shrink shrink: decode scaled on load, area averaging, JPEG quality
85 under 5,000,000 bytes), and then with vipsthumbnail and ImageMagick's convert -resize to the
same long edge at the same quality. Each runs --runs times, in turn; the table gives the median
wall time, CPU time (user and system; steadier than wall time on a busy machine) and peak memory
(maximum resident set) of each, and their ratios to the program's.
It asserts nothing.

Needs (Debian): libvips-tools (vipsthumbnail) and imagemagick; it installs nothing.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The real ImageMagick, not a wrapper that may stand before it on PATH.
CONVERT = "/usr/bin/convert"


def timed(command):
    """Wall seconds, CPU seconds and peak memory (MB) of one run of the command."""
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    if status != 0:
        raise SystemExit("failed: " + " ".join(command))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--width", type=int, default=6000)
    parser.add_argument("--height", type=int, default=4000)
    parser.add_argument("--program", default=os.path.join(ROOT, "build/bench/bench_shrink"))
    args = parser.parse_args()
    missing = [tool for tool in ("vipsthumbnail", CONVERT) if shutil.which(tool) is None]
    if missing or not os.access(args.program, os.X_OK):
        raise SystemExit("needs %s; Debian: apt-get install libvips-tools imagemagick, and a build (%s)"
                         % (", ".join(missing + [args.program]), args.program))

    temp = tempfile.mkdtemp(prefix="milte-bench-shrink.")
    try:
        source = os.path.join(temp, "photo.jpg")
        subprocess.run([args.program, "make", source, str(args.width), str(args.height)], check=True)
        ours = os.path.join(temp, "ours.jpg")
        size = subprocess.run([args.program, "shrink", source, ours], check=True, capture_output=True,
                              text=True).stdout.split()
        edge = max(int(size[0]), int(size[1]))
        vips_out = os.path.join(temp, "vips.jpg")
        magick_out = os.path.join(temp, "magick.jpg")
        tools = {
            "milte": [args.program, "shrink", source, ours],
            "vipsthumbnail": ["vipsthumbnail", source, "--size", str(edge), "-o", vips_out + "[Q=85]"],
            "convert -resize": [CONVERT, source, "-resize", "%dx%d" % (edge, edge), "-quality", "85",
                                "-sampling-factor", "4:2:0", magick_out],
        }
        walls = {name: [] for name in tools}
        cpus = {name: [] for name in tools}
        peaks = {name: [] for name in tools}
        for run in range(args.runs):
            names = list(tools)
            for name in names[run % len(names):] + names[:run % len(names)]:
                wall, cpu, peak = timed(tools[name])
                walls[name].append(wall)
                cpus[name].append(cpu)
                peaks[name].append(peak)

        print("%d x %d JPEG of %.1f MB to a long edge of %d, median of %d runs"
              % (args.width, args.height, os.path.getsize(source) / 1e6, edge, args.runs))
        print("| tool | wall s | CPU s | peak MB | output bytes | wall / milte | CPU / milte | peak / milte |")
        print("|---|---|---|---|---|---|---|---|")
        base_wall = statistics.median(walls["milte"])
        base_cpu = statistics.median(cpus["milte"])
        base_peak = statistics.median(peaks["milte"])
        outputs = {"milte": ours, "vipsthumbnail": vips_out, "convert -resize": magick_out}
        for name in tools:
            wall, cpu, peak = (statistics.median(figures[name]) for figures in (walls, cpus, peaks))
            print("| %s | %.3f | %.3f | %.0f | %d | %.2fx | %.2fx | %.2fx |"
                  % (name, wall, cpu, peak, os.path.getsize(outputs[name]), wall / base_wall, cpu / base_cpu,
                     peak / base_peak))
    finally:
        shutil.rmtree(temp, ignore_errors=True)


if __name__ == "__main__":
    main()
