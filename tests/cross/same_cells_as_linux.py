#!/usr/bin/env python3
"""The Windows workbench renders the same cells as the Linux one.

    same_cells_as_linux.py LINUX-murl13-tool WINDOWS-murl13-tool.exe

Renders `frame --format raw` with both on states of every effect (each order of
the timeline, the flat scenes and the warp by --effect) at times, beats, pulses
and view distances drawn from a fixed seed, and compares the bytes. The
Windows tool runs under Wine through scripts/wine-run.sh. Also checks that
both Windows programs' --version name the project's version and the commit
checked out. Exit 1 when any state or version line differs (up to five states
are named), 0 when all agree.
"""

import concurrent.futures
import os
import random
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CELL_BYTES = 80 * 50 * 4


def states():
    rng = random.Random(20)
    # Every order of the timeline (0 to 39: plasma, warp, the scenes, the
    # logos on 1 to 3, the view rules from 38), then the effects the timeline
    # never picks by itself.
    picks = [["--order", str(order)] for order in range(40)]
    picks += [["--order", "12", "--effect", str(effect)] for effect in (7, 8)]
    for pick in picks:
        args = pick + ["--time", repr(rng.choice([rng.uniform(0, 200), rng.uniform(0, 5000)]))]
        if rng.random() < 0.5:
            args += ["--beats", str(rng.randrange(0, 5000)), "--accent", repr(rng.uniform(0, 3)),
                     "--beat-pulse", repr(rng.uniform(0, 3))]
        if rng.random() < 0.5:
            args += ["--view", repr(rng.uniform(-100, 100))]
        if rng.random() < 0.3:
            args += ["--overlay-x", str(rng.randrange(38)), "--overlay-y", str(rng.randrange(20))]
        yield args


def cells(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(command), result.returncode,
                                                   result.stderr.decode(errors="replace")))
    return result.stdout


def expected_version(program):
    """The --version line of a build of the checkout as it is now."""
    with open(os.path.join(ROOT, "CMakeLists.txt")) as cmake:
        version = re.search(r"project\(murl13 VERSION ([0-9.]+)", cmake.read()).group(1)
    head = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short=7", "HEAD"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True)
    commit = " (git %s)" % head.stdout.strip() if head.returncode == 0 and head.stdout.strip() else ""
    return "%s %s%s" % (program, version, commit)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    linux, windows = sys.argv[1], sys.argv[2]
    if not os.access(linux, os.X_OK):
        print("no Linux tool at %s (build the Linux tree first: ./test or cmake --build build)" % linux,
              file=sys.stderr)
        return 1
    wine = [os.path.join(ROOT, "scripts", "wine-run.sh"), windows]

    def compare(args):
        frame = ["frame", "--format", "raw"] + args
        expected = cells([linux] + frame)
        got = cells(wine + frame)
        if len(expected) == CELL_BYTES and got == expected:
            return None
        first = next((i // 4 for i in range(min(len(got), len(expected))) if got[i] != expected[i]), None)
        return "%s: %d bytes, first differing cell %s" % (" ".join(args), len(got), first)

    # Starting Wine costs more than a frame: two at a time.
    picks = list(states())
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        differ = [line for line in pool.map(compare, picks) if line]
    for line in differ[:5]:
        print("differs: " + line)
    print("%d states, %d differ" % (len(picks), len(differ)))
    versions_differ = 0
    for program in ("murl13", "murl13-tool"):
        exe = os.path.join(os.path.dirname(windows), program + ".exe")
        line = cells([os.path.join(ROOT, "scripts", "wine-run.sh"), exe, "--version"]).decode().rstrip("\r\n")
        expected = expected_version(program)
        print("%s --version: %s%s" % (program, line, "" if line == expected else " (expected %s)" % expected))
        versions_differ += line != expected
    return 1 if differ or versions_differ else 0


if __name__ == "__main__":
    sys.exit(main())
