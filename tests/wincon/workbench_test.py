#!/usr/bin/env python3
"""The Windows programs from a command line, under Wine: names, messages, help.

    workbench_test.py LINUX-murl13-tool BUILD-FOLDER

- A song in a folder named in Polish and Russian, given by its full path:
  `song` lists what the Linux tool lists; a missing file there is named as it
  is; a broken one so named, given from its folder, is found and refused as
  broken; `bench --frames` writes its file there.
- A refused PNG (frame, art) says so in one line, with status 1.
- The help texts tell what this build does: the demo's --window is not chosen
  by itself, and the workbench offers no capture, PNG or --cpu-clock, which it
  refuses with the reason.
Exit 1 and name what is wrong, 0 when all holds.
"""

import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
FOREIGN = "\u0141\u00f3d\u017a \u0414\u0435\u043c\u043e"  # Łódź Демо
# Wine reads the arguments it passes on in the locale's character set.
WINE_ENV = dict(os.environ, LC_ALL="C.UTF-8")
faults = []


def run(command, cwd=None):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=WINE_ENV, timeout=300,
                            cwd=cwd)
    return result.returncode, result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")


def windows(program, *args, cwd=None):
    return run([WINE_RUN, program] + list(args), cwd=cwd)


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def expect(ok, what):
    print("%s: %s" % ("ok" if ok else "FAILED", what))
    if not ok:
        faults.append(what)


def foreign_folder(linux_tool, build):
    folder = os.path.join(build, FOREIGN)
    os.makedirs(folder, exist_ok=True)
    song = os.path.join(folder, "GLIMVEX.oXM")
    shutil.copyfile(os.path.join(build, "GLIMVEX.oXM"), song)
    tool = os.path.join(build, "murl13-tool.exe")
    status, listing, _ = windows(tool, "song", wine_path(song))
    expect(status == 0 and listing == run([linux_tool, "song", song])[1] and "end " in listing,
           "song on a path named in Polish and Russian: status %d, the Linux tool's listing" % status)
    missing = wine_path(os.path.join(folder, "nosuch.oXM"))
    status, _, message = windows(tool, "song", missing)
    expect(status == 1 and missing in message, "a missing song there is named as it is: %r" % message.strip())
    broken = FOREIGN + ".oXM"
    with open(os.path.join(folder, broken), "wb") as f:
        f.write(b"not a module")
    status, _, message = windows(tool, "song", broken, cwd=folder)
    expect(status == 1 and "not a complete XM module" in message and "is not in" not in message,
           "a broken song named in Polish and Russian is found and refused as such: %r" % message.strip())
    frames = os.path.join(folder, "frames.bin")
    status, _, _ = windows(tool, "bench", "--frames-per-order", "1", "--threads", "1", "--frames", wine_path(frames))
    expect(status == 0 and os.path.getsize(frames) == 40 * 80 * 50 * 4,
           "bench --frames writes its 40 frames there (status %d)" % status)


def refusals_and_help(build):
    tool = os.path.join(build, "murl13-tool.exe")
    for args in (["frame", "--format", "png"], ["art", "logo3", "--format", "png"]):
        status, picture, message = windows(tool, *args)
        expect(status == 1 and picture == "" and message.count("\n") == 1 and "PNG" in message
               and "Success" not in message, "%s: one message, status 1: %r" % (" ".join(args), message))
    status, _, message = windows(tool, "bench", "--cpu-clock")
    expect(status == 2 and "10 to 16 ms" in message, "bench --cpu-clock refused with its reason: %r" % message)
    demo_help = windows(os.path.join(build, "murl13.exe"), "--help")[1]
    tool_help = "".join(windows(tool, *args)[1] for args in (["--help"], ["frame", "--help"], ["bench", "--help"]))
    expect("--window" in demo_help and "chosen by itself" not in demo_help and "usage" in tool_help and
           not any(word in tool_help for word in ("capture", "png", "--cpu-clock")),
           "the help texts offer no window by itself, no capture, PNG or --cpu-clock")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    linux_tool, build = sys.argv[1], os.path.abspath(sys.argv[2])
    foreign_folder(linux_tool, build)
    refusals_and_help(build)
    print("FAILED" if faults else "PASSED")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
