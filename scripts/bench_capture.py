#!/usr/bin/env python3
"""Measures `murl13-tool capture` at the sizes people share: for each size, one
capture of the same stretch of the show, and its speed (seconds of show per
second of wall clock), the processor time of all its threads, how many cores
that kept busy, its peak resident memory and the file's size.

    scripts/bench_capture.py [--tool build/murl13-tool] [--song build/GLIMVEX.oXM]
        [--sizes 1280x800,1920x1080,3840x2160] [--seconds 10] [--start 0]
        [--kind mp4]

The figures are only as quiet as the machine: other programs on the cores
slow the capture and inflate its processor time.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def measure(tool, song, size, seconds, start, kind, folder):
    """One capture: its figures, or None with the reason printed."""
    out = os.path.join(folder, "bench." + kind)
    command = [tool, "capture", out, "--size", size, "--seconds", str(seconds), "--start", str(start),
               "--song", song]
    began = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - began
    summary, messages = process.stdout.read().decode(), process.stderr.read().decode()
    process.stdout.close()
    process.stderr.close()
    if status != 0:
        print("%s: the capture failed: %s" % (size, messages.strip() or status), file=sys.stderr)
        return None
    frames = int(summary.split()[0])
    cpu = usage.ru_utime + usage.ru_stime
    return {
        "frames": frames,
        "wall": wall,
        "speed": seconds / wall,
        "cpu": cpu,
        "cores": cpu / wall,
        "peak": usage.ru_maxrss / 1024.0,  # kilobytes on Linux
        "file": os.path.getsize(out) / 1e6,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tool", default=os.path.join(ROOT, "build", "murl13-tool"))
    parser.add_argument("--song", default=os.path.join(ROOT, "build", "GLIMVEX.oXM"))
    parser.add_argument("--sizes", default="1280x800,1920x1080,3840x2160")
    parser.add_argument("--seconds", type=float, default=10.0, help="seconds of show per capture")
    parser.add_argument("--start", type=float, default=0.0, help="song time of the first frame")
    parser.add_argument("--kind", default="mp4", choices=["mp4", "mkv", "webm", "gif"])
    options = parser.parse_args()
    print("%-10s %7s %8s %8s %8s %8s %6s %8s %8s" % ("size", "frames", "show s", "wall s", "x real", "cpu s",
                                                      "cores", "peak MB", "file MB"))
    failed = False
    with tempfile.TemporaryDirectory(prefix="murl13-bench-") as folder:
        for size in options.sizes.split(","):
            figures = measure(options.tool, options.song, size, options.seconds, options.start, options.kind,
                              folder)
            if figures is None:
                failed = True
                continue
            print("%-10s %7d %8.1f %8.1f %8.2f %8.1f %6.2f %8.0f %8.1f" % (
                size, figures["frames"], options.seconds, figures["wall"], figures["speed"], figures["cpu"],
                figures["cores"], figures["peak"], figures["file"]), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
