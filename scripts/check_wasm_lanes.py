#!/usr/bin/env python3
"""Checks the WebAssembly core's cells under node against the native ones.

Builds the core with Emscripten (cmake/wasm_core.cmake, SIMD on) and its
checking program, then:

- the vector lanes' sine, cosine and wobble give the bits of the WebAssembly
  build's own library;
- frames of states of every effect, drawn by the demo's cell loop with the
  vector lanes and with the scalar ones, equal the native workbench's
  `murl13-tool frame --format raw` cells;
- the benchmark's schedule drawn both ways equals the native
  `murl13-tool bench --reference --frames` cells;

and prints the frame times of both ways per effect (node's processor time,
after a first pass that lets the engine compile the hot code).

    scripts/check_wasm_lanes.py --tool build/murl13-tool [--build-dir DIR]

Exits 77 (skipped) when emcc or node is missing, 1 when a cell differs.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIPPED = 77

# Options of `murl13-tool frame`, one state a line: every effect, the memo
# path and the full twist of the cubes, the folds below -500, a camera
# inside a ball, no scene.
STATES = """\
--order 0 --time 2
--order 1 --time 5.3 --beats 10 --accent 1.2 --beat-pulse 2.5 --view 20
--order 2 --time 9.1 --beats 18 --accent 2.9 --beat-pulse 3 --view 60
--order 6 --time 25.3 --beats 50 --accent 2.2 --view 97.9
--order 10 --time 41.9 --beats 83 --view 97.9
--order 27 --time 108.4 --beats 216 --accent 3 --beat-pulse 3 --view 96.1
--order 31 --time 126.2 --beats 252 --view 97
--order 19 --time 77.7 --beats 155 --beat-pulse 2.4 --view 97.9
--order 22 --time 90.2 --beats 180 --view 97.9
--order 8 --time 33.1 --beats 66 --accent 3 --view 97.9
--order 12 --time 49.5 --beats 99 --view 97.9
--order 12 --time 3.3 --beats 6 --view 40 --effect 7
--order 30 --time 120.1 --beats 240 --accent 1 --beat-pulse 2 --view 60 --effect 8
--order 6 --time 25.3 --beats 50 --accent 1 --effect 1 --camera 10,10,10
--order 6 --accent 1 --view 97 --effect 1 --camera -508,-506,-504
--order 4 --time 30 --beats 60 --accent 1 --beat-pulse 2 --view 97 --effect 2 --camera -508,-506,-504
--order 31 --time 30 --beats 60 --view 97 --effect 3 --camera -490,-503,-497
--order 19 --beat-pulse 2 --view 97 --effect 4 --camera -503,-485,-490
--order 8 --time 10 --beats 20 --accent 1 --view 97 --effect 5 --camera -508,-506,-504
--order 12 --time 7.5 --beats 15 --view 97 --effect 6 --camera -1010,-560,-505.25
--order 12 --time 7.5 --beats 15 --view 97 --effect 6 --camera -455,-5,-495
"""
FRAME_BYTES = 4000 * 4


def run(command, **options):
    return subprocess.run(command, check=True, **options)


def build(build_dir):
    environment = dict(os.environ)
    environment.setdefault("NODE_PATH", "/usr/share/nodejs")
    if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")):
        run(["emcmake", "cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release"], env=environment,
            stdout=subprocess.DEVNULL)
    run(["cmake", "--build", build_dir, "-j2", "--target", "murl13-lanes-check"], env=environment,
        stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "murl13-lanes-check.js")


def differing_frames(expected, actual):
    """Indexes of the frames that differ, and whether the lengths agree."""
    count = len(expected) // FRAME_BYTES
    differ = [i for i in range(count)
              if expected[i * FRAME_BYTES:(i + 1) * FRAME_BYTES] != actual[i * FRAME_BYTES:(i + 1) * FRAME_BYTES]]
    return differ, len(expected) == len(actual) and len(expected) == count * FRAME_BYTES and count > 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tool", required=True, help="the native murl13-tool")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build-wasm"))
    arguments = parser.parse_args()
    for program in ("emcmake", "emcc", "node"):
        if not shutil.which(program):
            print("skipped: %s is not installed (apt-get install emscripten nodejs)" % program)
            return SKIPPED

    checker = build(os.path.abspath(arguments.build_dir))
    node = ["node", checker]
    faults = 0
    with tempfile.TemporaryDirectory() as scratch:
        path = lambda name: os.path.join(scratch, name)

        guard = subprocess.run(node + ["guards", "vector"], stdout=subprocess.PIPE, text=True)
        print(guard.stdout.strip())
        if guard.returncode != 0:
            faults += 1

        states = [line for line in STATES.splitlines() if line.strip()]
        with open(path("states.txt"), "w") as f:
            f.write("\n".join(states) + "\n")
        native = b"".join(run([arguments.tool, "frame", "--format", "raw"] + state.split(), stdout=subprocess.PIPE)
                          .stdout for state in states)
        run([arguments.tool, "bench", "--reference", "--frames", path("native-bench.bin")], stdout=subprocess.DEVNULL)
        native_bench = open(path("native-bench.bin"), "rb").read()

        for lanes in ("scalar", "vector"):
            run(node + ["states", lanes, path("states.txt"), path("states.bin")])
            differ, whole = differing_frames(native, open(path("states.bin"), "rb").read())
            print("%s lanes, %d states: %s" % (lanes, len(states), "same cells as native" if whole and not differ
                                               else "DIFFER in states %s" % [states[i] for i in differ]))
            faults += bool(differ) or not whole

            times = run(node + ["bench", lanes, path("bench.bin"), "2"], stdout=subprocess.PIPE, text=True).stdout
            differ, whole = differing_frames(native_bench, open(path("bench.bin"), "rb").read())
            print("%s lanes, benchmark schedule: %s" % (lanes, "same cells as native" if whole and not differ
                                                         else "%d frames DIFFER, first %s" % (len(differ), differ[:1])))
            print(times, end="")
            faults += bool(differ) or not whole
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
