#!/usr/bin/env python3
"""Runs a Windows program under Wine in a pseudo-terminal of a given size, as
its console, reading everything it writes there (a console whose terminal
output is not read blocks), and ends with the program's exit status.

    run_in_pty.py [--report FILE] ROWS COLUMNS TIMEOUT PROGRAM.exe [ARGS...]

--report: FILE (what the program wrote of its findings) is printed at the end.

Wine runs through scripts/wine-run.sh (quiet, no display, no sound drivers).
The terminal's output is thrown away: Wine draws the console there, but the
tests read the console's cells back through the console itself.
"""

import fcntl
import os
import pty
import select
import signal
import struct
import subprocess
import sys
import termios
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def main():
    args = sys.argv[1:]
    report = None
    if args[:1] == ["--report"]:
        report, args = args[1], args[2:]
    if len(args) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    status = run(int(args[0]), int(args[1]), float(args[2]), args[3:])
    if report and os.path.exists(report):
        with open(report, errors="replace") as f:
            sys.stdout.write(f.read())
    return status


def run(rows, columns, timeout, program):
    command = [os.path.join(ROOT, "scripts", "wine-run.sh")] + program
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
    env = dict(os.environ, TERM="xterm")

    def take_terminal():
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)

    process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave, env=env,
                               preexec_fn=take_terminal, close_fds=True)
    os.close(slave)
    deadline = time.monotonic() + timeout
    while process.poll() is None and time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.1)
        if ready:
            try:
                os.read(master, 65536)
            except OSError:
                pass  # the terminal's last process closed it
    if process.poll() is None:
        print("run_in_pty: %s did not end within %g s" % (program[0], timeout), file=sys.stderr)
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return 124
    os.close(master)
    return process.returncode


if __name__ == "__main__":
    sys.exit(main())
