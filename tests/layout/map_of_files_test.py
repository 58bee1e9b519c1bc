#!/usr/bin/env python3
"""The layout check's map of the files against the tree: a folder or source
file added without its row, a row left behind after its file went, and a
file named twice (as two stale copies of a table once did) must each fail the
check and be named; a map that matches must pass. Run on a small tree, once
as plain files and once as a git checkout (where the check reads what git
tracks)."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check_layout.py")

MAP = """# How it is built

## Map of the files

| file | what it holds |
|---|---|
| **./** | **the top** |
| `CMakeLists.txt` | the build |
| **state/** | **state** |
| `demo_state.h/.cpp` | the state |
| **docs/** | **documents** |
| `architecture.md` | this |

## After the map

`not/in/the/map.cpp` is only mentioned here.
"""


class MapOfFiles(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="murl13_map_")
        self.write("CMakeLists.txt", "")
        self.write("state/demo_state.h", "")
        self.write("state/demo_state.cpp", '#include "state/demo_state.h"\n')
        self.write("docs/architecture.md", MAP)
        self.write("docs/picture.png", "")  # not a source file: needs no row
        self.write("build/made.cpp", "")  # the build folder is not the tree

    def tearDown(self):
        shutil.rmtree(self.root)

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)

    def check(self, git):
        if git:
            subprocess.run(["git", "init", "-q", self.root], check=True)
            with open(os.path.join(self.root, ".gitignore"), "w") as f:
                f.write("/build/\n")
            subprocess.run(["git", "-C", self.root, "add", "-A"], check=True)
        result = subprocess.run([sys.executable, CHECK, "--root", self.root], capture_output=True, text=True)
        return result.returncode, result.stderr

    def each_way(self):
        ways = [False] + ([True] if shutil.which("git") else [])
        for git in ways:
            with self.subTest(git=git):
                yield git

    def test_matching_map_passes(self):
        for git in self.each_way():
            self.assertEqual(self.check(git), (0, ""))

    def test_missing_folder_and_file_fail(self):
        self.write("video/video_file.cpp", "")
        for git in self.each_way():
            status, errors = self.check(git)
            self.assertEqual(status, 1)
            self.assertIn("video/ is missing from the map", errors)
            self.assertIn("video/video_file.cpp is missing from the map", errors)

    def test_stale_and_doubled_rows_fail(self):
        os.remove(os.path.join(self.root, "state", "demo_state.cpp"))
        self.write("docs/architecture.md", MAP.replace("| **docs/** |", "| `demo_state.h` | again |\n| **docs/** |"))
        for git in self.each_way():
            status, errors = self.check(git)
            self.assertEqual(status, 1)
            self.assertIn("names state/demo_state.cpp in its map of the files, which does not exist", errors)
            self.assertIn("names state/demo_state.h twice", errors)
            self.assertNotIn("not/in/the/map.cpp", errors)


if __name__ == "__main__":
    unittest.main()
