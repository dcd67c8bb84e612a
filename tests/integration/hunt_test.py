#!/usr/bin/env python3
"""Whole Hunts through torvane-cli against the demo engine server (loopback).

Usage: hunt_test.py --cli PATH [--emulator CMD] [unittest args]

Each test gets a fresh working directory with a reports/ folder, the
demo's engines.dat for the ports the server actually bound (plus extra
engines a test adds), search.idx and a torva.ini, and reads what the tool
printed: the status texts on stderr ("[slot] text"), the finished jobs
("[slot] job id=... status=0x... request=0x... hits=N term=T"), the hits on
stdout, the pages in reports/ and the server's request log.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import demo_server  # noqa: E402
from cli_run import CLI, JOB_RE, Run, closed_port, main  # noqa: E402

RUN_LIMIT = 90    # seconds any one run of the tool may take

class HuntCase(unittest.TestCase):
    """A working directory and a demo server for each test."""

    server_args = []

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="torvane-hunt-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        os.mkdir(os.path.join(self.dir, "reports"))
        shutil.copy(os.path.join(ROOT, "data", "search.idx"), self.dir)
        self.log = os.path.join(self.dir, "requests.log")
        self.server = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tools", "demo_server.py"), "--port", "0",
             "--port2", "0", "--write-engines", os.path.join(self.dir, "engines.dat"),
             "--log", self.log, "--hang-seconds", "30", "--exit-after", "150"]
            + self.server_args,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(self.stop_server)
        words = self.server.stdout.readline().split()
        self.assertEqual(words[0], "listening")
        self.port, self.port2 = int(words[1]), int(words[2])
        self.write_ini()

    def stop_server(self):
        self.server.kill()
        self.server.wait()
        self.server.stdout.close()

    def write_ini(self, **settings):
        values = {"packcount": 20, "timeout": 2000, "exact": 0, "files": 50}
        values.update(settings)
        with open(os.path.join(self.dir, "torva.ini"), "w", newline="\n") as f:
            for key, value in values.items():
                f.write("%s=%s\n" % (key, value))

    def add_engine(self, engine_id, request, engine_type=0):
        with open(os.path.join(self.dir, "engines.dat"), "a", newline="\n") as f:
            f.write("\nNAME=Test engine %d\nREQ=%s\nHOME=http://127.0.0.1:%d/\nENGINE=%d\nID=%d\n"
                    % (engine_id, request, self.port, engine_type, engine_id))

    def demo_request(self, knob_path="", engine_type=0):
        return ("http://127.0.0.1:%d%s/t%d/search?q=$QUERY&n=$HITS"
                % (self.port, knob_path, engine_type))

    def hunt(self, *args):
        proc = subprocess.run(CLI + ["hunt"] + list(args), cwd=self.dir, capture_output=True,
                              timeout=RUN_LIMIT)
        return Run(self.dir, proc.returncode, proc.stdout.decode("latin-1"),
                   proc.stderr.decode("latin-1"))

    def requests(self):
        return demo_server.read_request_log(self.log) if os.path.exists(self.log) else []

    def assert_ended_idle(self, run, slots):
        """Every slot in use ends showing "Hunt is Complete"."""
        for slot in range(slots):
            texts = run.status.get(slot, [])
            self.assertTrue(texts, "slot %d showed nothing" % slot)
            self.assertEqual(texts[-1], "Hunt is Complete", "slot %d: %r" % (slot, texts[-3:]))


class WholeHunt(HuntCase):
    def test_three_terms_over_eighteen_engines(self):
        run = self.hunt("--connections", "20", "linux,readme,zip")
        self.assertEqual(run.rc, 0, run.err)
        self.assert_ended_idle(run, 20)
        engine_jobs = [j for j in run.jobs if j["id"] != 0]
        self.assertEqual(len(engine_jobs), 3 * 18)
        asked = {(j["id"], j["term"]) for j in engine_jobs}
        self.assertEqual(asked, {(i, t) for i in range(1, 19) for t in ("linux", "readme", "zip")})
        for j in engine_jobs:
            self.assertEqual(j["status"] & 0x708, 0, j)  # none failed
        # Each location once, however many engines and terms found it.
        hits = run.hits()
        locations = [h[3] for h in hits]
        self.assertEqual(len(locations), len(set(locations)))
        self.assertGreater(len(hits), 50)
        self.assertLess(len(hits), sum(j["hits"] for j in engine_jobs))
        # Report order is name order, ignoring case.
        names = [h[0].lower() for h in hits]
        self.assertEqual(names, sorted(names))
        with open(os.path.join(self.dir, "reports", "results.htm"), "rb") as f:
            results = f.read().decode("latin-1")
        self.assertIn("%d <i>unique files found</i>" % len(hits), results)
        self.assertEqual(results.count("<tr><td NOWRAP"), len(hits))
        for name in ("menu.htm", "intro.htm"):
            self.assertTrue(os.path.exists(os.path.join(self.dir, "reports", name)))
        # The engine pages hold the engines' own pages, not "Not Searched".
        self.assertNotIn("Not Searched", run.page(1))

    def test_no_hits(self):
        run = self.hunt("--engines", "1,2", "--exact", "1", "nothing-has-this-name")
        self.assertEqual(run.rc, 1, run.err)
        self.assertEqual(run.out.strip(),
                         "FTP file Search Complete. No matching files found. "
                         "Perhaps a substring search may yield better results.")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "reports", "results.htm")))
        run = self.hunt("--engines", "1", "--exact", "0", "nothing-has-this-name")
        self.assertEqual(run.out.strip(), "FTP file Search Complete. No matching files found.")

    def test_engines_of_the_default_project(self):
        # No filename= in torva.ini: the current project is default.tvs.
        with open(os.path.join(self.dir, "default.tvs"), "w", newline="\n") as f:
            f.write("engine=3,7,\nBODY=\n")
        run = self.hunt("readme")
        self.assertEqual(sorted({j["id"] for j in run.jobs if j["id"] != 0}), [3, 7])

    def test_post_engine(self):
        run = self.hunt("--engines", "18", "readme")
        self.assertEqual(run.rc, 0, run.err)
        self.assertGreater(run.job(18)["hits"], 0)
        posts = [r["raw"] for r in self.requests() if r["raw"].startswith(b"POST ")]
        self.assertEqual(len(posts), 1)
        self.assertTrue(posts[0].startswith(b"POST /t2/search HTTP/1.0\r\n"), posts[0][:60])
        self.assertTrue(posts[0].endswith(b"\r\n\r\nq=readme&n=50\r\n"), posts[0][-40:])

    def test_slow_answer_trickles_in(self):
        self.add_engine(40, self.demo_request("/trickle"))
        run = self.hunt("--engines", "40", "readme")
        self.assertEqual(run.rc, 0, run.err)
        texts = run.slot_texts(40)
        sizes = [int(t.split()[1]) for t in texts if t.startswith("Downloading: ")]
        self.assertGreater(len(sizes), 3)
        self.assertEqual(sizes, sorted(sizes))
        done = [t for t in texts if t.startswith("Transferred ")]
        self.assertEqual(len(done), 1)
        self.assertGreaterEqual(int(done[0].split()[1]), sizes[-1])


class JobOrder(HuntCase):
    def test_one_connection_runs_the_jobs_in_order(self):
        # Through the demo server as proxy, so the vendor job reaches it too;
        # its insert file is here already (else it would take the engines' turn).
        self.write_ini(packcount=1, proxy="127.0.0.1", port=self.port, upgrade=1)
        run = self.hunt("--engines", "5,2,9", "readme, linux")
        self.assertEqual(run.rc, 0, run.err)
        expected = [(0, ""), (2, "readme"), (5, "readme"), (9, "readme"),
                    (2, "linux"), (5, "linux"), (9, "linux")]
        self.assertEqual([(j["id"], j["term"]) for j in run.jobs], expected)
        self.assertEqual({j["slot"] for j in run.jobs}, {0})
        lines = [r["raw"].split(b"\r\n", 1)[0] for r in self.requests()]
        self.assertEqual(len(lines), 7, lines)
        self.assertTrue(lines[0].startswith(b"GET http://www.torvane.example/cgi-bin/news.cgi"),
                        lines[0])
        for line, (engine_id, term) in zip(lines[1:], expected[1:]):
            self.assertTrue(line.startswith(b"GET http://127.0.0.1:%d/t%d/search?q=%s&n=50 "
                                            % (self.port, engine_id - 1, term.encode())), line)
        # The vendor's reply went to the version check: no engine page for it.
        self.assertFalse(os.path.exists(os.path.join(self.dir, "reports", "0.htm")))
        self.assertEqual(run.jobs[0]["status"] & 0x8, 0)

    def test_through_proxy_every_slot_contacts_the_proxy(self):
        run = self.hunt("--proxy", "127.0.0.1:%d" % self.port, "--engines", "1,2,3,4,18",
                        "readme")
        self.assertEqual(run.rc, 0, run.err)
        self.assertIn("Contacting Proxy -> 127.0.0.1", run.slot_texts(3))
        self.assertIn("Connected to Proxy -> Host", run.slot_texts(3))
        raw = [r["raw"] for r in self.requests()]
        self.assertTrue(all(r["port"] == self.port for r in self.requests()))
        self.assertTrue(any(r.startswith(b"POST http://127.0.0.1:%d/t2/search " % self.port)
                            for r in raw))
        self.assertEqual(sum(1 for r in raw if r.startswith(b"GET http://127.0.0.1:")), 4)
        self.assertGreater(len(run.hits()), 0)


class Failures(HuntCase):
    def test_refused_connection(self):
        self.add_engine(41, "http://127.0.0.1:%d/t0/search?q=$QUERY" % closed_port())
        run = self.hunt("--engines", "41,1", "readme")
        self.assertEqual(run.rc, 0, run.err)  # the other engine still found something
        self.assertIn("Connection Refused", run.slot_texts(41))
        self.assertEqual(run.job(41)["status"] & 0x208, 0x208)
        self.assertIn("<BODY>Connection Refused</BODY>", run.page(41))
        self.assertGreater(run.job(1)["hits"], 0)

    def test_host_not_found(self):
        self.add_engine(42, "http://no-such-host.invalid/t0/search?q=$QUERY")
        run = self.hunt("--engines", "42", "readme")
        self.assertEqual(run.rc, 1, run.err)
        self.assertIn("Contacting no-such-host.invalid", run.slot_texts(42))
        self.assertIn("Host Not Found", run.slot_texts(42))
        self.assertEqual(run.job(42)["status"] & 0x108, 0x108)
        self.assertIn("<BODY>Host Not Found</BODY>", run.page(42))

    def test_engine_that_never_answers(self):
        self.add_engine(43, self.demo_request("/hang"))
        start = time.monotonic()
        run = self.hunt("--engines", "43,1", "--timeout", "150", "readme")
        self.assertLess(time.monotonic() - start, 20)
        self.assertEqual(run.rc, 0, run.err)
        texts = run.slot_texts(43)
        self.assertIn("Timeout Error...(Retry)", texts)
        self.assertIn("Timeout Error...(Abort)", texts)
        self.assertLess(texts.index("Timeout Error...(Retry)"),
                        texts.index("Timeout Error...(Abort)"))
        self.assertEqual(run.job(43)["status"] & 0x40c, 0x408)
        self.assertIn("<BODY>Timeout Connecting to Engine</BODY>", run.page(43))
        self.assert_ended_idle(run, 20)

    def test_not_found_page(self):
        self.add_engine(44, self.demo_request("/notfound"))
        run = self.hunt("--engines", "44", "readme")
        self.assertEqual(run.rc, 1, run.err)
        error = [t for t in run.slot_texts(44) if t.startswith("Request Error (")]
        self.assertEqual(len(error), 1, run.slot_texts(44))
        # The first 30 characters of the answer; the tool shows its CR LF as \r\n.
        self.assertTrue(error[0].startswith("Request Error (HTTP/1.0 404 Not Found\\r\\n"), error)
        self.assertTrue(error[0].endswith(")"), error)
        self.assertEqual(len(error[0]), len("Request Error (") + 30 + 2 + 1)
        self.assertEqual(run.job(44)["request"] & 0x8, 0x8)
        self.assertIn("no such page", run.page(44))

    def test_redirect_to_other_port(self):
        self.add_engine(45, self.demo_request("/redirect-me"))
        run = self.hunt("--engines", "45", "readme")
        self.assertEqual(run.rc, 0, run.err)
        self.assertGreater(run.job(45)["hits"], 0)
        ports = [r["port"] for r in self.requests() if b"/redirect-me" in r["raw"] or
                 b"hop=1" in r["raw"]]
        self.assertEqual(ports, [self.port, self.port2])
        second = [r["raw"] for r in self.requests() if r["port"] == self.port2][0]
        self.assertIn(b"Host: 127.0.0.1:%d\r\n" % self.port2, second)

    def test_endless_redirects_are_cut_off(self):
        self.add_engine(46, self.demo_request("/redirect-loop"))
        run = self.hunt("--engines", "46,1", "readme")
        self.assertEqual(run.rc, 0, run.err)
        loop = [r for r in self.requests() if b"/redirect-loop/" in r["raw"]]
        self.assertEqual(len(loop), 11)  # the request and ten redirects
        self.assertEqual(run.job(46)["request"] & 0x8, 0x8)
        self.assertTrue(any(t.startswith("Request Error (HTTP/1.0 302")
                            for t in run.slot_texts(46)))
        self.assert_ended_idle(run, 20)

    def test_server_closes_without_a_byte(self):
        self.add_engine(47, self.demo_request("/dropme"))
        run = self.hunt("--engines", "47", "readme")
        self.assertEqual(run.rc, 1, run.err)
        job = run.job(47)
        self.assertEqual(job["status"] & 0x708, 0)
        self.assertEqual(job["request"] & 0x8, 0)
        self.assertEqual(job["hits"], 0)
        self.assertFalse([t for t in run.slot_texts(47)
                          if t.startswith(("Transferred", "Request Error", "Downloading"))])
        self.assertIn("<BODY>Not Searched</BODY>", run.page(47))

    def test_answer_over_500000_bytes_comes_in_two_pieces(self):
        self.add_engine(48, self.demo_request("/huge"))
        run = self.hunt("--engines", "48", "readme")
        self.assertEqual(run.rc, 0, run.err)
        done = [int(t.split()[1]) for t in run.slot_texts(48) if t.startswith("Transferred ")]
        self.assertEqual(len(done), 2, run.slot_texts(48)[-8:])
        self.assertGreater(done[0], 500000)
        self.assertLess(done[0], 500000 + 229)
        self.assertGreater(done[0] + done[1], 600000)
        # The first piece is read into hits; the rest has no status line.
        self.assertGreater(run.job(48)["hits"], 0)
        self.assertEqual(run.job(48)["request"] & 0x8, 0x8)
        self.assertEqual(len(run.hits()), run.job(48)["hits"])


class CancelInTheMiddle(HuntCase):
    def test_ctrl_c_cancels(self):
        self.add_engine(49, self.demo_request("/hang"))
        proc = subprocess.Popen(CLI + ["hunt", "--engines", "49,1,2", "readme"], cwd=self.dir,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        lines = []
        connected = threading.Event()

        def read_err():
            for raw in proc.stderr:
                line = raw.decode("latin-1").rstrip("\r\n")
                lines.append(line)
                if JOB_RE.match(line) and " id=2 " in line:
                    connected.set()

        reader = threading.Thread(target=read_err)
        reader.start()
        self.assertTrue(connected.wait(30), "\n".join(lines))
        time.sleep(0.2)
        proc.send_signal(signal.SIGINT)
        out = proc.stdout.read()
        rc = proc.wait(timeout=30)
        reader.join(10)
        proc.stdout.close()
        proc.stderr.close()
        run = Run(self.dir, rc, out.decode("latin-1"), "\n".join(lines))
        self.assertEqual(rc, 130, run.err)
        for slot in range(20):
            self.assertEqual(run.status[slot][-1], "Hunt Cancelled", slot)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "reports", "results.htm")))
        self.assertEqual(run.out, "")
        self.assertFalse([t for t in run.lines if "Timeout" in t])


if __name__ == "__main__":
    main()
