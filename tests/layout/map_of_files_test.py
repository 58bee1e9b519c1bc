#!/usr/bin/env python3
"""The layout check's map of the files against a small tree: it passes while
they match, and fails naming the fault for a folder and file added without a
row, a row left after its file went, and a file named twice (as the old
README's map once did). Run on plain files and, where git is installed, on a
git checkout, where the check reads what git tracks."""

import os, shutil, subprocess, sys, tempfile, unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check_layout.py")
MAP = """## Map of the files

| file | what it holds |
|---|---|
| **./** | **the top** |
| `CMakeLists.txt` | the build |
| **state/** | **state** |
| `demo_state.h/.cpp` | the state |
| **docs/** | **documents** |
| `architecture.md` | this |

## After the map: `not/in/the/map.cpp` is only mentioned
"""


class MapOfFiles(unittest.TestCase):
    def check(self, plant):
        for git in [False] + ([True] if shutil.which("git") else []):
            with tempfile.TemporaryDirectory() as root:
                files = {"CMakeLists.txt": "", "state/demo_state.h": "", "state/demo_state.cpp": "",
                         "docs/architecture.md": MAP, "docs/picture.png": "", "build/made.cpp": ""}
                plant(files)
                for path, text in files.items():
                    os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
                    with open(os.path.join(root, path), "w") as f:
                        f.write(text)
                if git:
                    subprocess.run(["git", "init", "-q", root], check=True)
                    subprocess.run(["git", "-C", root, "add", "-A", ":!build"], check=True)
                run = subprocess.run([sys.executable, CHECK, "--root", root], capture_output=True, text=True)
                yield git, run.returncode, run.stderr

    def test_matching_map_passes(self):
        for git, status, errors in self.check(lambda files: None):
            self.assertEqual((status, errors), (0, ""), git)

    def test_missing_folder_and_stale_or_doubled_rows_fail(self):
        def plant(files):
            files["video/video_file.cpp"] = ""
            del files["state/demo_state.cpp"]
            files["docs/architecture.md"] = MAP.replace("| **docs/** |", "| `demo_state.h` | again |\n| **docs/** |")
        for git, status, errors in self.check(plant):
            self.assertEqual(status, 1, git)
            for fault in ["video/ is missing from the map", "video/video_file.cpp is missing from the map",
                          "names state/demo_state.cpp in its map of the files, which does not exist",
                          "names state/demo_state.h twice"]:
                self.assertIn(fault, errors, git)
            self.assertNotIn("not/in/the/map.cpp", errors)


if __name__ == "__main__":
    unittest.main()
