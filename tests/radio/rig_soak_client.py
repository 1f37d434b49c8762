#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A restless program on the panel's rig server, for the soak.

    rig_soak_client.py PORT SEED REPORT

Connects, asks, sets, keys and unkeys, sends junk now and then, and drops the connection at
random moments: politely, mid-line, or with a reset, sometimes while it has the radio keyed.
While the panel is away (a restart) it tries again every half second. It runs until it is
ended (SIGTERM), and writes its counts to REPORT, one "NAME COUNT" a line, after every
connection, so that a killed client has its counts all the same.
"""
import random
import signal
import socket
import struct
import sys
import time

REQUESTS = ["f", "m", "t", "s", "v", "i", "l STRENGTH", "\\get_powerstat", "\\chk_vfo",
            "+f", ";m", "\\dump_state"]
MODES = ["USB 2400", "LSB 2400", "CW 500", "AM 6000", "FM 12000", "RTTY 500", "PKTUSB 0"]
JUNK = [b"\x00\x01\x02\n", b"F 99999999999999\n", b"M\n", b"T 2\n", b"\xff\xfe garbage\n",
        b"l\n", b"x" * 2000 + b"\n", b"S 1 VFOZ\n", b"#comment\n", b"\n"]


def main():
    port = int(sys.argv[1])
    rng = random.Random(int(sys.argv[2]))
    report = sys.argv[3]
    counts = {"connections": 0, "refused": 0, "requests": 0, "answered": 0, "keyed": 0,
              "dropped_keyed": 0, "resets": 0}
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))

    def write_report():
        with open(report, "w") as out:
            for name, count in counts.items():
                out.write("%s %d\n" % (name, count))

    while True:
        try:
            sock = socket.create_connection(("127.0.0.1", port), timeout=2)
        except OSError:
            counts["refused"] += 1
            time.sleep(0.5)
            continue
        counts["connections"] += 1
        keyed = False
        try:
            for _ in range(rng.randint(1, 60)):
                roll = rng.random()
                if roll < 0.55:
                    line = rng.choice(REQUESTS).encode()
                elif roll < 0.7:
                    line = b"F %d" % rng.randint(1800000, 29700000)
                elif roll < 0.8:
                    line = b"M " + rng.choice(MODES).encode()
                elif roll < 0.9:
                    keyed = not keyed
                    line = b"T 1" if keyed else b"T 0"
                    counts["keyed"] += keyed
                else:
                    line = rng.choice(JUNK).rstrip(b"\n")
                sock.sendall(line + b"\n")
                counts["requests"] += 1
                if sock.recv(65536):
                    counts["answered"] += 1
                time.sleep(rng.choice([0, 0.01, 0.05, 0.2, 0.5]))
            ending = rng.random()
            if ending < 0.2:
                sock.sendall(b"F 1420")  # a line cut off by the drop
            elif ending < 0.4:
                # A reset instead of an orderly close, as a crashed program's system sends.
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                counts["resets"] += 1
            elif ending < 0.5:
                sock.sendall(b"q\n")
        except OSError:
            pass
        counts["dropped_keyed"] += keyed
        sock.close()
        write_report()
        time.sleep(rng.choice([0, 0.1, 1, 3]))


if __name__ == "__main__":
    main()
