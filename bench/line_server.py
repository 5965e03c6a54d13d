"""A small loopback server for the benchmarks, one mode per process:

  line_server.py PORTFILE ftp LINES    an FTP greeting of LINES lines, then a log-in and QUIT
                                      (USER 331, PASS 230, anything else 200, SIZE 213, MDTM 213)
  line_server.py PORTFILE http LINES   an HTTP/1.0 response head of LINES header lines, a short body
  line_server.py PORTFILE silent       accepts and never sends

It listens on 127.0.0.1 and a free port, writes the port to PORTFILE, and serves connections one
after another until it is terminated.
"""

import socket
import sys


def ftp_greeting(lines):
    return b"".join(b"220-Line %d of a long greeting\r\n" % i for i in range(lines - 1)) + b"220 ready\r\n"


def http_response(lines):
    head = b"".join(b"X-Line-%d: a header line of a long head\r\n" % i for i in range(lines))
    return b"HTTP/1.0 200 OK\r\n" + head + b"Content-Length: 2\r\n\r\nOK"


def ftp(conn, greeting):
    conn.sendall(greeting)
    reader = conn.makefile("rb")
    for line in reader:
        verb = line.split(b" ", 1)[0].strip().upper()
        if verb == b"QUIT":
            conn.sendall(b"221 bye\r\n")
            return
        reply = {b"USER": b"331 password", b"PASS": b"230 in", b"PWD": b'257 "/"',
                 b"SIZE": b"213 0", b"MDTM": b"213 20260101000000"}.get(verb, b"200 ok")
        conn.sendall(reply + b"\r\n")


def http(conn, response):
    reader = conn.makefile("rb")
    for line in reader:
        if line in (b"\r\n", b"\n"):
            break
    conn.sendall(response)


def silent(conn, _text):
    conn.recv(1)  # until the client leaves


def main():
    port_file, mode = sys.argv[1], sys.argv[2]
    lines = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    serve = {"ftp": ftp, "http": http, "silent": silent}[mode]
    text = {"ftp": ftp_greeting, "http": http_response, "silent": lambda _: b""}[mode](lines)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    with open(port_file, "w") as out:
        out.write(str(listener.getsockname()[1]))
    while True:
        conn, _ = listener.accept()
        try:
            serve(conn, text)
        except OSError:
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
