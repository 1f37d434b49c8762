#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A raw client of Hamlib's network protocol, for the end-to-end tests.

    rig_client.py PORT REQUEST...

Sends each request (a line, "\\n" added) on one connection and prints what came back, each
answer followed by a line "--" . An answer is complete when nothing more has arrived for a
moment (the protocol has no end marker for a plain read), so a request that gets no answer
prints an empty one. A request goes as it is written ("\\get_freq" is the long form).
"""
import socket
import sys
import time

QUIET = 0.4      # seconds without a byte after which an answer is taken as complete
LONGEST = 5.0    # seconds to wait for the first byte


def answer(sock):
    data = b""
    start = time.monotonic()
    last = start
    while True:
        now = time.monotonic()
        if data and now - last > QUIET:
            return data
        if not data and now - start > LONGEST:
            return data
        try:
            chunk = sock.recv(65536)
        except socket.timeout:
            continue
        if not chunk:
            return data
        data += chunk
        last = time.monotonic()


def main():
    port = int(sys.argv[1])
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    sock.settimeout(0.05)
    out = sys.stdout.buffer
    for request in sys.argv[2:]:
        line = request.encode("latin-1")
        sock.sendall(line + b"\n")
        out.write(answer(sock))
        out.write(b"--\n")
        out.flush()
    sock.close()


if __name__ == "__main__":
    main()
