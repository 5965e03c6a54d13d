#!/usr/bin/python3
"""Our components against curl on the same loopback servers, run by run.

  bench/paired.py [--runs N] [--only WORD ...] [--client NAME=PATH ...] [--build DIR] [--bed-parent DIR]

Each work is done by every client in turn (the order rotates from run to run), each run a process
of its own, timed by its wall clock, CPU (user + system) and peak resident memory. The table
gives the medians and the ratios to curl. It asserts nothing.

The servers: the test bed (vsftpd, nginx) when MILTE_TB_* is set in the environment, otherwise a
fresh one started with scripts/testbed/start.sh (as root) and stopped at the end, in memory
(/dev/shm) unless --bed-parent says otherwise: on disk, vsftpd's close of each 1 GB file it
stored starts its write-back, which takes 0.1-0.4 s and swamps the clients' difference; and
bench/line_server.py for the 5,000-line greeting and head and the silent peer. Test files are
sparse, in a temporary folder and in nginx's static folder, and removed at the end.

--client adds a build of bench_client to compare (e.g. before=/tmp/old/build/bench/bench_client);
the default is ours=BUILD/bench/bench_client.
"""

import argparse
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MB = 1 << 20
CURL = ["curl", "-s", "-S"]


def run_once(argv):
    """Wall seconds, CPU seconds and peak RSS (MiB) of one process; None when it failed."""
    start = time.monotonic()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    error = child.stderr.read().decode(errors="replace").strip()
    child.stderr.close()
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024, child.returncode, error


def sparse_file(path, size):
    with open(path, "wb") as out:
        out.truncate(size)
    return path


class Bed:
    """The test bed's servers: the one in the environment, or one started here."""

    def __init__(self, parent):
        self.dir = None
        if "MILTE_TB_VSFTPD_PORT" not in os.environ:
            self.dir = tempfile.mkdtemp(prefix="milte-bench-bed.", dir=parent)
            subprocess.run(["bash", os.path.join(ROOT, "scripts/testbed/start.sh"), self.dir], check=True,
                           stdout=subprocess.DEVNULL)
            with open(os.path.join(self.dir, "env")) as env:
                for line in env:
                    key, _, value = line.rstrip("\n").partition("=")
                    os.environ[key] = shlex.split(value)[0] if value else ""
        self.env = os.environ

    def stop(self):
        if self.dir:
            subprocess.run(["bash", os.path.join(ROOT, "scripts/testbed/stop.sh"), self.dir], check=False)
            shutil.rmtree(self.dir, ignore_errors=True)


class LineServer:
    def __init__(self, temp, *mode):
        port_file = os.path.join(temp, "port-" + "-".join(mode))
        self.process = subprocess.Popen([sys.executable, os.path.join(ROOT, "bench/line_server.py"), port_file, *mode])
        for _ in range(200):
            if os.path.exists(port_file) and os.path.getsize(port_file) > 0:
                break
            time.sleep(0.02)
        with open(port_file) as f:
            self.port = f.read().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait()


def works(bed, temp, lines, silent, clients):
    """(name, {client: argv}, what the ratio is of, clean-up) for every work."""
    env = bed.env
    host = "127.0.0.1"
    user, password = env["MILTE_TB_FTP_USER"], env["MILTE_TB_FTP_PASSWORD"]
    ftp_port = env["MILTE_TB_VSFTPD_PORT"]
    upload_dir = os.path.join(env["MILTE_TB_VSFTPD_ROOT"], "upload")
    static = os.path.join(env["MILTE_TB_NGINX_HTML"], "static")
    os.makedirs(static, exist_ok=True)
    web = "http://%s:%s" % (host, env["MILTE_TB_NGINX_PORT"])

    def each(make_ours, curl):
        table = {name: make_ours(path) for name, path in clients.items()}
        table["curl"] = curl
        return table

    def clear_uploads():
        for name in os.listdir(upload_dir):
            os.remove(os.path.join(upload_dir, name))

    for size in (100 * MB, 200 * MB):
        name = "get-%d.bin" % (size // MB)
        sparse_file(os.path.join(static, name), size)
        url = "%s/static/%s" % (web, name)
        yield ("HTTP GET %d MB into Body" % (size // MB),
               each(lambda c: [c, "http-get", url, "body"], CURL + ["--http1.0", "-o", "/dev/null", url]), "wall", None)
    url = "%s/static/get-200.bin" % web
    target = os.path.join(temp, "got.bin")
    yield ("HTTP GET 200 MB to a file",
           each(lambda c: [c, "http-get", url, target], CURL + ["--http1.0", "-o", target, url]), "wall", None)

    config = os.path.join(temp, "posts.curl")
    with open(config, "w") as out:
        out.write('data = ""\n' + 'url = "%s/ftp.php?file=a.jpg&name=n&mail=m"\noutput = "/dev/null"\n' % web * 1000)
    yield ("1,000 POSTs, a connection each",
           each(lambda c: [c, "http-posts", web + "/ftp.php?file=a.jpg&name=n&mail=m", "1000"],
                CURL + ["--http1.0", "-K", config]), "wall", None)

    yield ("FTP greeting of %d lines" % lines.count,
           each(lambda c: [c, "ftp-login", host, lines.ftp, "zdq", "x"],
                CURL + ["-I", "ftp://zdq:x@%s:%s/x" % (host, lines.ftp)]), "wall", None)
    yield ("HTTP head of %d lines" % lines.count,
           each(lambda c: [c, "http-get", "http://%s:%s/" % (host, lines.http), "body"],
                CURL + ["--http1.0", "-o", "/dev/null", "http://%s:%s/" % (host, lines.http)]), "wall", None)
    yield ("3-second silent wait (CPU)",
           each(lambda c: [c, "idle", host, silent.port], ["curl", "-s", "-m", "3", "http://%s:%s/" % (host, silent.port)]),
           "cpu", None)

    # The uploads come last: the 3 GB they pass through the servers' memory is handed back to the
    # host by this kind of virtual machine once freed, and a process filling fresh memory soon
    # after (a body into Body) pays the host's faults, which curl writing to /dev/null never does.
    for size in (5 * MB, 100 * MB, 1024 * MB):
        local = sparse_file(os.path.join(temp, "up-%d.bin" % (size // MB)), size)
        for mode in ("active", "passive"):
            curl_mode = ["--ftp-pasv"] if mode == "passive" else ["-P", host]
            yield ("FTP upload %d MB %s" % (size // MB, mode),
                   each(lambda c: [c, "ftp-upload", host, ftp_port, user, password, "upload", local, mode],
                        CURL + curl_mode + ["-T", local, "ftp://%s:%s@%s:%s/upload/" % (user, password, host, ftp_port)]),
                   "wall", clear_uploads)


def ratio(ours, curl, width):
    return "%*.2fx" % (width - 1, ours / curl) if curl > 0 else "%*s" % (width, "-")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", nargs="*", default=[], help="works whose name holds one of these words")
    parser.add_argument("--client", action="append", default=[], help="NAME=PATH of a bench_client")
    parser.add_argument("--build", default=os.environ.get("MILTE_BUILD_DIR", os.path.join(ROOT, "build")))
    parser.add_argument("--bed-parent", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                        help="folder for a test bed started here (default /dev/shm)")
    args = parser.parse_args()
    clients = dict(c.split("=", 1) for c in args.client) or {"ours": os.path.join(args.build, "bench/bench_client")}

    bed = Bed(args.bed_parent)
    temp = tempfile.mkdtemp(prefix="milte-bench.")
    servers = []
    try:
        class Lines:
            count = 5000
        ftp_lines, http_lines = LineServer(temp, "ftp", "5000"), LineServer(temp, "http", "5000")
        silent = LineServer(temp, "silent")
        servers += [ftp_lines, http_lines, silent]
        Lines.ftp, Lines.http = ftp_lines.port, http_lines.port
        names = list(clients) + ["curl"]
        header = "%-34s" % "work" + "".join("%14s" % n for n in names) + "".join(
            "%14s" % (n + "/curl") for n in clients) + "".join(
            "%18s" % ("CPU " + n + "/curl") for n in clients) + "   peak RSS MiB " + " / ".join(names)
        print("medians of %d runs; wall seconds (CPU seconds for the wait), then the ratios of wall time "
              "and of CPU time (user + system) to curl's" % args.runs)
        print(header)
        for name, argvs, measure, clean in works(bed, temp, Lines, silent, clients):
            if args.only and not any(word.lower() in name.lower() for word in args.only):
                continue
            figures = {n: [] for n in names}
            cpus = {n: [] for n in names}
            rss = {n: [] for n in names}
            for run in range(args.runs):
                order = names[run % len(names):] + names[:run % len(names)]
                for n in order:
                    wall, cpu, peak, status, error = run_once(argvs[n])
                    if status != 0 and not (n == "curl" and measure == "cpu"):
                        print("  %s failed (%d): %s" % (n, status, error[:200]), file=sys.stderr)
                    figures[n].append(cpu if measure == "cpu" else wall)
                    cpus[n].append(cpu)
                    rss[n].append(peak)
                    if clean:
                        clean()
            median = {n: statistics.median(figures[n]) for n in names}
            cpu = {n: statistics.median(cpus[n]) for n in names}
            ratios = "".join(ratio(median[n], median["curl"], 14) for n in clients) + "".join(
                ratio(cpu[n], cpu["curl"], 18) for n in clients)
            print("%-34s" % name + "".join("%14.3f" % median[n] for n in names) + ratios + "   " +
                  " / ".join("%.0f" % statistics.median(rss[n]) for n in names), flush=True)
    finally:
        for server in servers:
            server.stop()
        for name in os.listdir(temp):
            os.remove(os.path.join(temp, name))
        os.rmdir(temp)
        static = os.path.join(bed.env.get("MILTE_TB_NGINX_HTML", ""), "static")
        for name in ("get-100.bin", "get-200.bin"):
            if os.path.exists(os.path.join(static, name)):
                os.remove(os.path.join(static, name))
        bed.stop()


if __name__ == "__main__":
    main()
