#!/usr/bin/env python3
"""Checks the source tree's layering from its #include lines:

- no cycle between top-level folders;
- the core folders (and the soundtrack generator) include no system or library
  header of a platform (terminal, signals, OS threads, sound, window, video,
  PNG, the Windows API) and no folder that does;
- only the programs (app/, tool/, fuzz/, the song's measuring tool in
  song/measure/) and the tests use more than one platform layer;
- the map of the files in docs/architecture.md matches the tree: every folder
  and source file has its row, and every name in the map exists.

    python3 scripts/check_layout.py [--root DIR]   exit 1 and name the faults if any
"""

import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
if len(sys.argv) == 3 and sys.argv[1] == "--root":
    ROOT = os.path.abspath(sys.argv[2])
CORE = {"state", "art", "effects2d", "raymarch", "raster", "runtime", "song"}
PROGRAMS = {"app", "tool", "fuzz", "tests", "song/measure"}
# Folders inside a top-level folder that count as a folder of their own: the
# song's measuring tool renders with libxmp beside the generator it measures.
SUBFOLDERS = ("song/measure",)
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
                yield folder_of(os.path.relpath(path, ROOT).replace(os.sep, "/")), path


def folder_of(path):
    """The folder a file or an included header belongs to."""
    for sub in SUBFOLDERS:
        if path.startswith(sub + "/"):
            return sub
    return path.split("/")[0]


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
                first = folder_of(header)
                if kind == '"' and "/" in header and os.path.isdir(os.path.join(ROOT, header.split("/")[0])):
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
    faults += map_faults()
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


# The map of the files: a table in the section "## Map of the files" of
# docs/architecture.md. A row whose first cell is a bold folder path ending in
# "/" (**./** for the top) starts that folder; the names in backticks in the
# first cell of the rows below it are its files, "name.h/.cpp" meaning both.
MAP = os.path.join("docs", "architecture.md")
MAP_SECTION = "## Map of the files"
SOURCE_EXTENSIONS = (".h", ".hpp", ".cpp", ".cc", ".c", ".py", ".sh", ".cmake", ".js", ".mjs", ".html", ".css")
SKIPPED_FOLDERS = ("__pycache__", "node_modules")


def map_entries(text):
    """The folders and files the map names, in order, as paths from the top."""
    folder, entries, inside = "", [], False
    for line in text.splitlines():
        if line.startswith("## "):
            inside = line.strip() == MAP_SECTION
            continue
        if not inside or not line.startswith("|"):
            continue
        first = line.split("|")[1].strip()
        bold = re.fullmatch(r"\*\*(.+/)\*\*", first)
        if bold:
            folder = "" if bold.group(1) == "./" else bold.group(1)
            if folder:
                entries.append(folder)
            continue
        for name in re.findall(r"`([^`]+)`", first):
            pair = re.fullmatch(r"(.+)\.(\w+)/\.(\w+)", name)
            names = [pair.group(1) + "." + pair.group(2), pair.group(1) + "." + pair.group(3)] if pair else [name]
            entries += [folder + n for n in names]
    return entries


def tree_paths():
    """The tree's folders (ending in /) and source files, as paths from the top:
    the files git tracks in a checkout, else every file but hidden and build
    folders."""
    files = None
    try:
        top = subprocess.run(["git", "-C", ROOT, "rev-parse", "--show-toplevel"], capture_output=True, text=True)
        if top.returncode == 0 and os.path.realpath(top.stdout.strip()) == os.path.realpath(ROOT):
            listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-z"], capture_output=True, text=True, check=True)
            files = [f for f in listed.stdout.split("\0") if f and os.path.isfile(os.path.join(ROOT, f))]
    except (OSError, subprocess.CalledProcessError):
        files = None
    if files is None:
        files = []
        for folder, dirs, names in os.walk(ROOT):
            dirs[:] = [d for d in dirs if not d.startswith(".") and d != "build" and not d.startswith("build-")
                       and d not in SKIPPED_FOLDERS]
            files += [os.path.relpath(os.path.join(folder, n), ROOT).replace(os.sep, "/") for n in names]
    paths = set()
    for f in files:
        parts = f.split("/")
        if any(p.startswith(".") or p in SKIPPED_FOLDERS for p in parts):
            continue
        for i in range(1, len(parts)):
            paths.add("/".join(parts[:i]) + "/")
        if f.endswith(SOURCE_EXTENSIONS) or parts[-1] == "CMakeLists.txt":
            paths.add(f)
    return paths


def map_faults():
    path = os.path.join(ROOT, MAP)
    if not os.path.isfile(path):
        return ["%s is missing: it holds the map of the files" % MAP]
    with open(path, encoding="utf-8") as f:
        entries = map_entries(f.read())
    faults = []
    seen = set()
    for entry in entries:
        if entry in seen:
            faults.append("%s names %s twice in its map of the files" % (MAP, entry))
        seen.add(entry)
        exists = os.path.isdir if entry.endswith("/") else os.path.isfile
        if not exists(os.path.join(ROOT, entry)):
            faults.append("%s names %s in its map of the files, which does not exist" % (MAP, entry))
    for missing in sorted(tree_paths() - seen):
        faults.append("%s is missing from the map of the files in %s" % (missing, MAP))
    return faults


if __name__ == "__main__":
    sys.exit(main())
