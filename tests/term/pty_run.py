#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs a program on a pseudo-terminal of its own, as if started from a terminal: the terminal is
its standard input (and output and error), its controlling terminal, and it is in the terminal's
foreground. Keys are typed into it from a control FIFO, with a held key's repeats at the timing a
keyboard gives them; what it writes to the terminal is kept in a file as it comes.

usage: pty_run.py --control FIFO --screen FILE [--stdout FILE] [--pid FILE]
                  [--settings-before FILE] [--settings-after FILE] [--keep-fd N]... -- COMMAND...

Control lines (the bytes with Python escapes, e.g. \\x1b[A):
  keys BYTES                          types the bytes at once
  hold BYTES DELAY_MS PERIOD_MS COUNT types them, then COUNT times again: the first after DELAY_MS,
                                      the others every PERIOD_MS, as a held key repeats
  hangup                              closes the terminal, as when a remote shell's link drops

The terminal's settings (its termios) are written before the program starts and after it has
ended, one line each, so that a test can tell whether it got them back as they were. The exit
code is the program's (128 + the signal when a signal ended it).
"""
import argparse
import codecs
import fcntl
import os
import select
import subprocess
import sys
import termios
import time


def parse_bytes(text):
    return codecs.decode(text, "unicode_escape").encode("latin-1")


def settings_line(fd):
    return repr(termios.tcgetattr(fd)) + "\n"


def type_held(master, key, delay_ms, period_ms, count):
    start = time.monotonic()
    os.write(master, key)
    for i in range(count):
        due = start + (delay_ms + i * period_ms) / 1000.0
        time.sleep(max(0.0, due - time.monotonic()))
        os.write(master, key)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--control", required=True)
    parser.add_argument("--screen", required=True)
    parser.add_argument("--stdout")
    parser.add_argument("--pid")
    parser.add_argument("--settings-before")
    parser.add_argument("--settings-after")
    parser.add_argument("--keep-fd", type=int, action="append", default=[])
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    master, slave = os.openpty()
    if args.settings_before:
        with open(args.settings_before, "w") as f:
            f.write(settings_line(slave))

    out = open(args.stdout, "wb") if args.stdout else slave
    child = subprocess.Popen(
        command, stdin=slave, stdout=out, stderr=slave, start_new_session=True,
        preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0), pass_fds=args.keep_fd)
    if args.pid:
        with open(args.pid, "w") as f:
            f.write("%d\n" % child.pid)

    # Read and write, so the FIFO never ends while the test still means to write to it.
    control = os.open(args.control, os.O_RDWR | os.O_NONBLOCK)
    screen = open(args.screen, "wb", buffering=0)
    pending = b""
    open_master = True
    while child.poll() is None or open_master:
        watched = [control] + ([master] if open_master else [])
        ready, _, _ = select.select(watched, [], [], 0.05)
        if master in ready:
            try:
                data = os.read(master, 4096)
            except OSError:
                data = b""
            if data:
                screen.write(data)
            elif child.poll() is not None:
                open_master = False
        elif child.poll() is not None and open_master:
            open_master = False  # ended and nothing more to read
        if control in ready:
            pending += os.read(control, 4096)
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                words = line.decode().split(" ")
                if words[0] == "keys" and open_master:
                    os.write(master, parse_bytes(" ".join(words[1:])))
                elif words[0] == "hold" and open_master:
                    type_held(master, parse_bytes(words[1]), *map(int, words[2:5]))
                elif words[0] == "hangup" and open_master:
                    os.close(master)
                    open_master = False
    status = child.wait()
    if args.settings_after:
        with open(args.settings_after, "w") as f:
            try:
                f.write(settings_line(slave))
            except termios.error as error:
                f.write("unreadable: %s\n" % error)
    return 128 - status if status < 0 else status


if __name__ == "__main__":
    sys.exit(main())
