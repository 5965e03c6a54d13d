#!/usr/bin/python3
"""Several files in one send against the same files sent one by one, and against curl.

  bench/batch.py [--runs N] [--files N] [--size BYTES] [--program PATH] [--bed-parent DIR]

Three ways to get N files of SIZE bytes (default 20 of 100 KB) to the test bed's vsftpd, each
announced by a POST to its nginx:
  batch    the program started once with all the files (one FTP session, a POST after each file)
  singles  the program started once per file, as a user dropping the files one at a time
  curl     one curl uploading all the files (passive), then one curl posting the N notifications
The program runs on an X display (Xvfb when none is set); its messages are answered at once and
the time they stay up is left out of its figures. Each way runs --runs times, in turn; the table
gives the median wall time and its ratio to the batch. It asserts nothing.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from paired import Bed  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TITLE = "ミルテ・ポスト"


def answer_messages(process, stderr_path):
    """Waits for the program to end, pressing Return in each message as it comes up; returns the
    seconds its messages were up."""
    seen, shown_for = 0, 0.0
    while process.poll() is None:
        with open(stderr_path, "rb") as err:
            dialogs = [line for line in err.read().split(b"\n")[:-1] if line.startswith(b"dialog: ")]
        if len(dialogs) > seen:
            seen = len(dialogs)
            shown = time.monotonic()
            while process.poll() is None:
                windows = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(process.pid),
                                          "--name", "^%s$" % TITLE], capture_output=True, text=True).stdout.split()
                if windows:
                    subprocess.run(["xdotool", "windowfocus", "--sync", windows[-1], "key", "Return"],
                                   stderr=subprocess.DEVNULL)
                    break
                time.sleep(0.005)
            shown_for += time.monotonic() - shown
        time.sleep(0.002)
    return shown_for


def run_program(program, files, env, temp):
    """Wall seconds of one run of the program, its messages' time left out."""
    stderr_path = os.path.join(temp, "stderr.log")
    with open(stderr_path, "wb") as err:
        start = time.monotonic()
        process = subprocess.Popen([program, *files], env=env, stdout=subprocess.DEVNULL, stderr=err)
        shown_for = answer_messages(process, stderr_path)
        wall = time.monotonic() - start
    with open(stderr_path, "rb") as err:
        if b"\xe9\x80\x81\xe4\xbf\xa1\xe3\x81\xae\xe8\xa8\x98\xe9\x8c\xb2" in err.read():  # "送信の記録": a failure
            raise SystemExit("the program failed a send: see " + stderr_path)
    return wall - shown_for


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--files", type=int, default=20)
    parser.add_argument("--size", type=int, default=100_000)
    parser.add_argument("--program", default=os.path.join(ROOT, "build/app/milte-post"))
    parser.add_argument("--bed-parent", default="/dev/shm")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 800x600x24", sys.executable, *sys.argv])

    bed = Bed(args.bed_parent)
    temp = tempfile.mkdtemp(prefix="milte-bench-batch.")
    try:
        env = dict(bed.env)
        root = env["MILTE_TB_VSFTPD_ROOT"]
        for key, value in {"XDG_CONFIG_HOME": os.path.join(temp, "config"), "XDG_STATE_HOME": os.path.join(temp, "state"),
                           "QT_QPA_PLATFORM": "xcb", "MILTE_UPLOAD_HOST": "127.0.0.1",
                           "MILTE_FTP_PORT": env["MILTE_TB_VSFTPD_PORT"], "MILTE_HTTP_PORT": env["MILTE_TB_NGINX_PORT"]}.items():
            env[key] = value
        settings = os.path.join(temp, "config/milte-post/registry/Software/Varrowen/iZDQ")
        os.makedirs(settings)
        with open(os.path.join(settings, ".values"), "w") as values:
            values.write("milte-registry 1\nMAIL1\t1\tbench\\x00\nMAIL2\t4\t\\x00\\x00\\x00\\x00\nNAME\t1\tBench\\x00\n")
        files = []
        for i in range(args.files):
            files.append(os.path.join(temp, "bench-%02d.jpg" % i))
            with open(files[-1], "wb") as out:
                out.write(os.urandom(args.size))
        web = "http://127.0.0.1:%s" % env["MILTE_TB_NGINX_PORT"]
        posts = os.path.join(temp, "posts.curl")
        with open(posts, "w") as out:
            for path in files:
                out.write('data = ""\nurl = "%s/ftp.php?file=%s&name=Bench&mail=bench@x"\noutput = "/dev/null"\n'
                          % (web, os.path.basename(path)))
        ftp = "ftp://%s:%s@127.0.0.1:%s/" % (env["MILTE_TB_FTP_USER"], env["MILTE_TB_FTP_PASSWORD"],
                                             env["MILTE_TB_VSFTPD_PORT"])

        def curl():
            start = time.monotonic()
            subprocess.run(["curl", "-s", "-S", "--ftp-pasv", "-T", "{%s}" % ",".join(files), ftp], check=True)
            subprocess.run(["curl", "-s", "-S", "--http1.0", "-K", posts], check=True)
            return time.monotonic() - start

        ways = {
            "batch": lambda: run_program(args.program, files, env, temp),
            "singles": lambda: sum(run_program(args.program, [path], env, temp) for path in files),
            "curl": curl,
        }
        times = {name: [] for name in ways}
        for run in range(args.runs):
            for name in list(ways)[run % len(ways):] + list(ways)[:run % len(ways)]:
                times[name].append(ways[name]())
                for stored in os.listdir(root):
                    if stored.startswith("bench-"):
                        os.remove(os.path.join(root, stored))
        batch = statistics.median(times["batch"])
        print("%d files of %d bytes, median of %d runs" % (args.files, args.size, args.runs))
        print("| way | wall s | / batch |\n|---|---|---|")
        for name, values in times.items():
            median = statistics.median(values)
            print("| %s | %.3f | %.2fx |" % (name, median, median / batch))
    finally:
        shutil.rmtree(temp, ignore_errors=True)
        bed.stop()


if __name__ == "__main__":
    main()
