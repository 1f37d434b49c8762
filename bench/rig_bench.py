#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Clients of Hamlib's network protocol for the benchmarks; every time on the monotonic clock
(CLOCK_MONOTONIC, seconds), the clock of radiosim's log with --log-clock monotonic.

    rig_bench.py ask PORT RADIO_CTL COUNT
        asks "f" every 0.7 s on one connection, COUNT times, and between requests now and then
        turns the radio's knob (a new VFO A frequency through radiosim's control FIFO). One line
        per answer: "ASKED ANSWERED FREQUENCY", and one per knob turn: "knob AT FREQUENCY".
    rig_bench.py set PORT COUNT
        sends "F FREQUENCY" COUNT times at random moments (0.3 to 0.6 s apart), each waiting for
        its answer; one line per request: "SENT FREQUENCY".
    rig_bench.py crowd PORT CLIENTS SECONDS
        CLIENTS connections, each asking "f" and "m" ten times a second for SECONDS; prints
        "CLIENT ASKED ANSWERED" per client.
"""
import random
import socket
import sys
import threading
import time


def connect(port):
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock


class Lines:
    """The answer lines of one connection."""

    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def line(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise EOFError("connection closed")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("latin-1")


def ask(port, control, count):
    sock = connect(port)
    lines = Lines(sock)
    knob = 14074000
    for i in range(count):
        asked = time.monotonic()
        sock.sendall(b"f\n")
        answer = lines.line()
        answered = time.monotonic()
        print("%.6f %.6f %s" % (asked, answered, answer))
        # A knob turn after every third answer, at a random moment before the next request.
        if i % 3 == 1:
            time.sleep(max(0.0, asked + random.uniform(0.05, 0.65) - time.monotonic()))
            knob += 1000
            with open(control, "w") as ctl:
                ctl.write("freq a %d\n" % knob)
            print("knob %.6f %d" % (time.monotonic(), knob))
        time.sleep(max(0.0, asked + 0.7 - time.monotonic()))
    sock.close()


def set_frequency(port, count):
    sock = connect(port)
    lines = Lines(sock)
    for i in range(count):
        time.sleep(random.uniform(0.3, 0.6))
        frequency = 14100000 + 1000 * (i % 2)
        sent = time.monotonic()
        sock.sendall(b"F %d\n" % frequency)
        lines.line()  # RPRT 0
        print("%.6f %d" % (sent, frequency))
    sock.close()


def crowd(port, clients, seconds):
    results = [None] * clients

    def client(n):
        sock = connect(port)
        lines = Lines(sock)
        asked = answered = 0
        start = time.monotonic()
        tick = start
        try:
            while time.monotonic() - start < seconds:
                for request, answer_lines in ((b"f\n", 1), (b"m\n", 2)):
                    sock.sendall(request)
                    asked += 1
                    for _ in range(answer_lines):
                        lines.line()
                    answered += 1
                tick += 0.1
                time.sleep(max(0.0, tick - time.monotonic()))
        except (OSError, EOFError):
            pass
        sock.close()
        results[n] = (asked, answered)

    threads = [threading.Thread(target=client, args=(n,)) for n in range(clients)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for n, (asked, answered) in enumerate(results):
        print("%d %d %d" % (n, asked, answered))


def main():
    what = sys.argv[1]
    if what == "ask":
        ask(int(sys.argv[2]), sys.argv[3], int(sys.argv[4]))
    elif what == "set":
        set_frequency(int(sys.argv[2]), int(sys.argv[3]))
    elif what == "crowd":
        crowd(int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]))
    else:
        sys.exit(__doc__)
    sys.stdout.flush()


if __name__ == "__main__":
    main()
