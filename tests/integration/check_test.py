#!/usr/bin/env python3
"""torvane-cli check against the demo server's FTP responder and HTTP pages
and against hostile FTP servers of this file's own (loopback only).

Usage: check_test.py --cli PATH [--emulator CMD] [unittest args]

Every run of the tool is bounded (RUN_LIMIT), and so is every hostile
connection (SERVER_LIMIT); the servers stop with their test.
"""

import os
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import demo_server  # noqa: E402
from cli_run import CLI, closed_port, main  # noqa: E402

RUN_LIMIT = 40
SERVER_LIMIT = 20

# The demo index of these tests: the fourth file is the one "deleted".
INDEX = ("a.txt\t100\t2026-07-11\tftp://ftp.one.example/pub/a.txt\n"
         "b c.zip\t20000\t2025-01-02\tftp://ftp.two.example/pub/b%20c.zip\n"
         "d.tgz\t3\t2024-12-31\tftp://ftp.one.example/d.tgz\n"
         "gone.txt\t4\t2024-12-31\tftp://ftp.one.example/pub/gone.txt\n")


def run_cli(args, cwd, stdin=b""):
    start = time.monotonic()
    proc = subprocess.run(CLI + ["check"] + args, cwd=cwd, input=stdin, capture_output=True,
                          timeout=RUN_LIMIT)
    out = proc.stdout.decode("latin-1").replace("\r\n", "\n")
    return proc.returncode, out.splitlines(), proc.stderr.decode("latin-1"), \
        time.monotonic() - start


class HostileFtp(socketserver.ThreadingMixIn, socketserver.TCPServer):
    """Answers each control connection by behave(sock), then closes."""
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, behave):
        self.behave = behave
        socketserver.TCPServer.__init__(self, ("127.0.0.1", 0), HostileHandler)
        self.port = self.server_address[1]
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def stop(self):
        self.shutdown()
        self.server_close()


class HostileHandler(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.settimeout(SERVER_LIMIT)
        try:
            self.server.behave(self.request)
        except OSError:
            pass


def send_for_ever(piece):
    # In 64 KB sends: a busy machine would run out the client's time limit
    # on Python's calls before the client reads enough to give up.
    block = piece * max(1, 65536 // len(piece))

    def behave(sock):
        end = time.monotonic() + SERVER_LIMIT
        while time.monotonic() < end:
            sock.sendall(block)
    return behave


def hold(sock):
    # Until the client gives up.
    while sock.recv(4096):
        pass


def greet_then(answer):
    """Logs in as a server would, then answers SIZE with answer(sock)."""
    def behave(sock):
        sock.sendall(b"220 hi\r\n")
        data = b""
        while True:
            chunk = sock.recv(4096)
            if not chunk:
                return
            data += chunk
            while b"\n" in data:
                line, data = data.split(b"\n", 1)
                verb = line.split(b" ")[0].strip()
                if verb == b"SIZE":
                    answer(sock)
                    return
                sock.sendall({b"USER": b"331 pw\r\n", b"PASS": b"230 in\r\n"}.get(
                    verb, b"200 ok\r\n"))
    return behave


class CheckCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="torvane-check-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        with open(os.path.join(self.dir, "index.tsv"), "w", newline="\n") as f:
            f.write(INDEX)
        self.log = os.path.join(self.dir, "requests.log")
        self.server = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tools", "demo_server.py"), "--port", "0",
             "--ftp-port", "0", "--index", os.path.join(self.dir, "index.tsv"), "--log",
             self.log, "--exit-after", str(RUN_LIMIT * 3)],
            stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.stop_server)
        self.ftp = int(self.server.stdout.readline().split()[1])
        self.http = int(self.server.stdout.readline().split()[1])

    def stop_server(self):
        self.server.kill()
        self.server.wait()
        self.server.stdout.close()

    def hostile(self, behave):
        server = HostileFtp(behave)
        self.addCleanup(server.stop)
        return "ftp://127.0.0.1:%d/pub/a.txt" % server.port


class PresentAndMissing(CheckCase):
    def test_ftp_and_http_answers_and_prune(self):
        f = "ftp://127.0.0.1:%d" % self.ftp
        h = "http://127.0.0.1:%d" % self.http
        locations = [
            f + "/pub/a.txt", f + "/pub/b%20c.zip", f + "/pub/gone.txt", f + "/nowhere",
            h + "/file/a.txt", h + "/file/nothing", h + "/t1/search?q=redirect-me",
            h + "/t1/search?q=error500",
            "ftp://127.0.0.1:%d/pub/a.txt" % closed_port(),
            "gopher://h/x",
        ]
        # A project as the program writes it, but with CR LF here and LF
        # there, a header line that looks like a hit, and bytes above 127.
        head = ("query=readme<1>%s<2><3><4><5>\r\nfiles=50\nengine=1,\r\nBODY=\r\n"
                % locations[2])
        lines = ["n%d\xe9<1>%s<2>%d<3>2026-01-01<4>0<5>%d%s"
                 % (i, loc, i, i, "\r\n" if i % 2 else "\n") for i, loc in enumerate(locations)]
        project = os.path.join(self.dir, "p.tvs")
        with open(project, "wb") as out:
            out.write((head + "".join(lines)).encode("latin-1"))

        want = [
            ["ok", "100", "2026-07-11 00:00:00"],
            ["ok", "20000", "2025-01-02 00:00:00"],
            ["missing", "", ""],
            ["missing", "", ""],
            ["ok", None, "2026-07-11 00:00:00"],
            ["missing", "", ""],
            ["moved http://127.0.0.1:%d/t1/search?q=redirect-me&n=50&hop=1" % self.http, "", ""],
            ["error 500 Internal Server Error", "", ""],
            ["refused", "", ""],
            ["error not an ftp:// or http:// location", "", ""],
        ]
        rc, out, err, _ = run_cli(["--project", project, "--prune"], self.dir)
        self.assertEqual(rc, 1, err)
        got = [line.split("\t") for line in out]
        self.assertEqual([g[3] for g in got], locations)  # input order
        for g, w in zip(got, want):
            if w[1] is None:  # the length of the page, whatever it is
                w[1] = g[1] if g[1].isdigit() else "a number"
            self.assertEqual(g[:3], w, g[3])
        self.assertIn("10 locations: 3 ok, 3 missing, 1 moved, 1 refused, 2 error", err)
        with open(project, "rb") as f:
            pruned = f.read().decode("latin-1")
        self.assertEqual(pruned, head + "".join(lines[i] for i in (0, 1, 4, 6, 7, 8, 9)))
        self.assertEqual(os.listdir(self.dir).count("p.tvs.part"), 0)

        # The HTTP locations were asked by HEAD, the FTP ones without data.
        requests = sorted(r["raw"].split(b"\r\n")[0]
                          for r in demo_server.read_request_log(self.log))
        self.assertEqual(requests[0], b"HEAD /file/a.txt HTTP/1.0")
        self.assertEqual([r[:5] for r in requests], [b"HEAD "] * 4)

        # Again from standard input, as hunt prints hits and bare.
        stdin = "".join("x\t1\t2\t%s\n" % loc for loc in locations[:2]) + locations[8] + "\n"
        rc, out, err, _ = run_cli(["-", "--ftp-server", "127.0.0.1:%d" % self.ftp], self.dir,
                                  stdin.encode("latin-1"))
        # --ftp-server sends even the refused location's connection there.
        self.assertEqual([line.split("\t")[0] for line in out], ["ok", "ok", "ok"], err)
        self.assertEqual(rc, 0)


class Hostile(CheckCase):
    def test_every_location_ends_in_time(self):
        endless_reply = b"220-" + b"x" * 100 + b"\r\n"
        cases = [
            (hold, "timeout"),                                   # never greets
            (send_for_ever(endless_reply), "error a reply longer than"),
            (send_for_ever(b"garbage" * 100), "error a reply longer than"),
            (lambda s: s.sendall(b"SSH-2.0-OpenSSH\r\n" + b"x" * 100) or hold(s),
             "error not an FTP reply: \"SSH-2.0-OpenSSH\""),
            (lambda s: s.sendall(b"421 Too many users\r\n") or hold(s),
             "error 421 Too many users"),
            (lambda s: None, "error the server closed the connection without a reply"),
            (greet_then(hold), "timeout"),                       # SIZE never answered
            (greet_then(send_for_ever(b"213-1\r\n")), "error a reply longer than"),
        ]
        locations = [self.hostile(behave) for behave, _ in cases]
        rc, out, err, took = run_cli(["--timeout", "3000", "-"], self.dir,
                                     "\n".join(locations).encode())
        self.assertEqual(rc, 1, err)
        self.assertEqual(len(out), len(cases), err)
        for line, (_, want) in zip(out, cases):
            self.assertTrue(line.startswith(want), (line, want))
        # At once side by side: the timeouts don't add up.
        self.assertLess(took, 15)

    def test_the_deadline_ends_the_whole_check(self):
        locations = [self.hostile(hold) for _ in range(3)]
        rc, out, err, took = run_cli(["--connections", "1", "--deadline", "2", "-"], self.dir,
                                     "\n".join(locations).encode())
        self.assertEqual([line.split("\t")[0] for line in out], ["timeout"] * 3, err)
        self.assertEqual(rc, 1)
        self.assertLess(took, 10)


if __name__ == "__main__":
    main()
