#!/usr/bin/env python3
"""Checks the source tree's layering from its #include lines:

- no cycle between top-level folders;
- the core folders (and the soundtrack generator) include no system or library
  header of a platform (terminal, signals, OS threads, sound, window, video,
  PNG, the Windows API) and no folder that does;
- only the programs (app/, tool/, fuzz/) and the tests use more than one platform
  layer.

    python3 scripts/check_layout.py     exit 1 and name the faults if any
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORE = {"state", "art", "effects2d", "raymarch", "raster", "runtime", "song"}
PROGRAMS = {"app", "tool", "fuzz", "tests"}
PLATFORM_HEADER = re.compile(
    r"^(unistd|termios|signal|csignal|fcntl|poll|pthread|dlfcn|png|zlib|windows|io|conio)\.h$"
    r"|^(sys|linux|SDL2?|xmp|libav\w*|libsw\w*|alsa|X11|wayland)[/.]"
    r"|^(SDL|xmp)\w*\.h$"
)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def sources():
    for folder, dirs, files in os.walk(ROOT):
        dirs[:] = [d for d in dirs if not d.startswith(".") and d != "build" and not d.startswith("build")]
        for name in files:
            if name.endswith((".h", ".cpp", ".hpp", ".cc")):
                path = os.path.join(folder, name)
                yield os.path.relpath(path, ROOT).split(os.sep)[0], path


def main():
    uses = {}       # folder -> set of top-level folders it includes
    platform = {}   # folder -> first platform header it includes
    for top, path in sources():
        if top not in CORE | PROGRAMS and os.path.dirname(os.path.relpath(path, ROOT)) == "":
            continue
        with open(path, errors="replace") as f:
            for line in f:
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, header = m.groups()
                first = header.split("/")[0]
                if kind == '"' and "/" in header and os.path.isdir(os.path.join(ROOT, first)):
                    if first != top:
                        uses.setdefault(top, set()).add(first)
                elif kind == "<" and PLATFORM_HEADER.search(header):
                    platform.setdefault(top, "%s in %s" % (header, os.path.relpath(path, ROOT)))
    faults = []
    for folder in sorted(CORE):
        if folder in platform:
            faults.append("%s/ includes a platform header: %s" % (folder, platform[folder]))
        for used in sorted(uses.get(folder, ())):
            if used not in CORE:
                faults.append("%s/ includes %s/, which is not core" % (folder, used))
    for folder in sorted(set(uses) - PROGRAMS):
        layers = sorted(u for u in uses[folder] if u not in CORE)
        if len(layers) > 0 and folder not in CORE:
            faults.append("%s/ (a platform layer) includes %s/" % (folder, ", ".join(layers)))
    # Cycles between folders (the programs and the tests sit on top).
    graph = {f: {u for u in us if u not in PROGRAMS} for f, us in uses.items() if f not in PROGRAMS}
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                faults.append("include cycle: " + " -> ".join(trail[trail.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
