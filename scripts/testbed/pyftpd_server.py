#!/usr/bin/python3
"""The test bed's pyftpdlib server: one user, its own root, passive ports from a range, and a
log of the raw dialogue that tests read.

Dialogue log format, one line per event, bytes exactly as on the wire without CR LF:
  "* connect 127.0.0.1:PORT"   a client connected (PORT is the client's port)
  "> LINE"                     a command line the client sent (raw bytes, password included)
  "< LINE"                     a reply line the server sent
  "* disconnect"               the control connection ended
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class RecordingHandler(FTPHandler):
    # File names are raw bytes (Shift-JIS from the client); keep them instead of U+FFFD.
    unicode_errors = "surrogateescape"
    permit_foreign_addresses = False
    dialogue_log = None

    def record(self, prefix, data):
        self.dialogue_log.write(prefix + data + b"\n")
        self.dialogue_log.flush()

    def on_connect(self):
        self.record(b"* connect ", ("%s:%d" % (self.remote_ip, self.remote_port)).encode())

    def on_disconnect(self):
        self.record(b"* disconnect", b"")

    def found_terminator(self):
        self.record(b"> ", b"".join(self._in_buffer))
        super().found_terminator()

    def respond(self, resp, *args, **kwargs):
        for line in resp.split("\r\n"):
            self.record(b"< ", line.encode("utf8", self.unicode_errors))
        super().respond(resp, *args, **kwargs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--passive-ports", required=True, help="FIRST-LAST")
    parser.add_argument("--dialogue-log", required=True)
    args = parser.parse_args()

    logging.basicConfig(stream=sys.stderr, level=logging.INFO,
                        format="%(asctime)s %(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    first, last = (int(p) for p in args.passive_ports.split("-"))

    RecordingHandler.authorizer = authorizer
    RecordingHandler.passive_ports = range(first, last + 1)
    RecordingHandler.dialogue_log = open(args.dialogue_log, "ab", buffering=0)

    server = FTPServer(("127.0.0.1", args.port), RecordingHandler)
    server.serve_forever()


if __name__ == "__main__":
    main()
