#!/usr/bin/python3
"""Prints free loopback TCP ports (free on 127.0.0.1 and ::1) for the test bed: COUNT single ports, then the first and last
port of a free block of BLOCK consecutive ports (for passive data connections).

Ports come from 20000-31999, below Linux's ephemeral range, so client sockets of the tests
cannot take them between this check and the servers' bind."""
import random
import socket
import sys

LOW, HIGH = 20000, 32000


def is_free(port):
    # The servers listen on 127.0.0.1, and some on ::1 as well.
    for family, address in ((socket.AF_INET, "127.0.0.1"), (socket.AF_INET6, "::1")):
        with socket.socket(family, socket.SOCK_STREAM) as probe:
            try:
                probe.bind((address, port))
            except OSError:
                return False
    return True


def main():
    count, block = int(sys.argv[1]), int(sys.argv[2])
    taken = set()
    singles = []
    while len(singles) < count:
        port = random.randrange(LOW, HIGH)
        if port not in taken and is_free(port):
            singles.append(port)
            taken.add(port)
    for _ in range(1000):
        first = random.randrange(LOW, HIGH - block)
        span = range(first, first + block)
        if not taken.intersection(span) and all(is_free(p) for p in span):
            print(*singles, first, first + block - 1)
            return 0
    print("no free block of %d ports" % block, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
