#!/usr/bin/env python3
"""torvane-cli for scripts, against the demo engine server (loopback):
hunt --format csv|json, --stats, --project/--save/--new-only, and probe.

Usage: scripting_test.py --cli PATH [--emulator CMD] [unittest args]
"""

import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hunt_test  # noqa: E402
from hunt_test import HuntCase, closed_port  # noqa: E402

STATS_RE = re.compile(r'^stats id=(-?\d+) jobs=(\d+) hits=(\d+) bytes=(\d+) first-byte-ms=(\S+) '
                      r'end-ms=(\S+) redirects=(\d+) name="(.*?)" outcomes=(.*)$')

# Index rows (bytes) with what a format has to carry: quotes, commas, a
# backslash, a tab in a date, a Latin-1 byte that is no UTF-8 and a UTF-8
# sequence that is.
AWKWARD = [
    (b'zqx "quoted", & named.txt', b"100", b"2026\t07-11",
     b"ftp://ftp.demo.example/pub/odd,dir/odd%22q%22,named.txt"),
    (b"zqx\xe9\xc3\xa9 bytes.bin", b"2048", b"2026-07-12",
     b"ftp://ftp.demo.example/pub/odd\xe9\xc3\xa9.bin"),
    (b"zqx\\back\\slash.txt", b"7", b"2026-07-13",
     b"ftp://ftp.demo.example/pub/odd/back\\slash.txt"),
]


class IndexCase(HuntCase):
    """A demo server that reads its own copy of the index, with extra rows."""

    extra_rows = []

    def setUp(self):
        index_dir = tempfile.mkdtemp(prefix="torvane-index-")
        self.addCleanup(shutil.rmtree, index_dir, True)
        self.index = os.path.join(index_dir, "index.tsv")
        shutil.copy(os.path.join(hunt_test.ROOT, "data", "ftp-index.tsv"), self.index)
        self.add_rows(self.extra_rows)
        self.server_args = ["--index", self.index]
        super().setUp()

    def add_rows(self, rows):
        with open(self.index, "ab") as f:
            for r in rows:
                f.write(b"\t".join(r) + b"\n")

    def run_cli(self, *args):
        proc = subprocess.run(hunt_test.CLI + list(args), cwd=self.dir, capture_output=True,
                              timeout=hunt_test.RUN_LIMIT)
        return proc.returncode, proc.stdout, proc.stderr.decode("latin-1")


class Formats(IndexCase):
    extra_rows = AWKWARD

    def test_csv_and_json_give_the_bytes_back(self):
        # Engine 3 is a table (type 2): its rule reads the date up to the
        # next tag, tab and all.
        expected = {(n, s, d, loc.replace(b'"', b"%22")) for n, s, d, loc in AWKWARD}
        rc, out, err = self.run_cli("hunt", "--engines", "3", "--format", "json", "zqx")
        self.assertEqual(rc, 0, err)
        text = out.decode("utf-8")  # strictly: every other byte is escaped
        rows = [json.loads(line) for line in text.splitlines()]
        self.assertTrue(all(line.startswith("{") for line in text.split("\n")[:-1]))
        got = {}
        for r in rows:
            self.assertEqual(sorted(r), ["date", "engine_id", "engine_name", "location", "name",
                                         "size", "term"])
            self.assertEqual(r["term"], "zqx")
            raw = tuple((r[k] or "").encode("utf-8", "surrogateescape")
                        for k in ("name", "size", "date", "location"))
            got[raw[3]] = (raw, r["engine_id"], r["engine_name"])
        self.assertEqual({raw for raw, _, _ in got.values()}, expected)
        self.assertEqual({(engine, name) for _, engine, name in got.values()},
                         {(3, "Demo 02 - table")})
        self.assertIn("\\udce9", text)  # the lone Latin-1 byte
        self.assertIn("\u00e9", text)   # the valid UTF-8 kept as it is

        rc, out, err = self.run_cli("hunt", "--engines", "3", "--format", "csv", "zqx")
        self.assertEqual(rc, 0, err)
        self.assertTrue(out.endswith(b"\r\n"))
        lines = list(csv.reader(io.StringIO(out.decode("latin-1"), newline="")))
        self.assertEqual(lines[0], ["name", "size", "date", "location", "engine_id",
                                    "engine_name", "term"])
        by_location = {r[3].encode("latin-1"): r for r in lines[1:]}
        self.assertEqual(set(by_location), set(got))
        for location, (raw, engine, name) in got.items():
            r = by_location[location]
            self.assertEqual(tuple(f.encode("latin-1") for f in r[:4]), raw)
            self.assertEqual(r[4:], [str(engine), name, "zqx"])
        # Without hits stdout holds no message a program would take for a row.
        rc, out, err = self.run_cli("hunt", "--engines", "3", "--format", "csv", "no-such-zqx")
        self.assertEqual((rc, out), (1, b"name,size,date,location,engine_id,engine_name,term\r\n"),
                         err)
        self.assertIn("No matching files found", err)


class Stats(HuntCase):
    def test_stats_agree_with_the_job_lines(self):
        self.add_engine(41, "http://127.0.0.1:%d/t0/search?q=$QUERY" % closed_port())
        self.add_engine(45, self.demo_request("/redirect-me", 2), 2)
        run = self.hunt("--engines", "1,41,45", "--stats", "readme,linux")
        self.assertEqual(run.rc, 0, run.err)
        stats = {}
        for line in run.lines:
            m = STATS_RE.match(line)
            if m:
                stats[int(m.group(1))] = m
        self.assertEqual(sorted(stats), [1, 41, 45])
        for engine_id, m in stats.items():
            jobs = [j for j in run.jobs if j["id"] == engine_id]
            self.assertEqual(int(m.group(2)), len(jobs))
            self.assertEqual(int(m.group(3)), sum(j["hits"] for j in jobs))
            outcomes = re.findall(r'(\d+):"((?:[^"\\]|\\.)*)"', m.group(9))
            self.assertEqual(sum(int(n) for n, _ in outcomes), len(jobs))
            for times in (m.group(5), m.group(6)):
                if times != "-":
                    median, top = map(int, times.split("/"))
                    self.assertLessEqual(median, top)
        self.assertEqual(stats[41].group(9), '2:"Connection Refused"')
        self.assertEqual((stats[41].group(4), stats[41].group(5)), ("0", "-"))
        self.assertEqual(stats[1].group(9), '2:"files found"')
        self.assertEqual(stats[45].group(8), "Test engine 45")
        self.assertEqual((stats[1].group(7), stats[45].group(7)), ("0", "2"))
        # The redirects' answers are counted too.
        self.assertGreater(int(stats[45].group(4)), int(stats[1].group(4)))


class Remembering(IndexCase):
    def test_new_only_prints_what_appeared_since_the_last_run(self):
        project = "weekly.tvs"
        first = self.hunt("--project", project, "--engines", "1,3", "--save", "--new-only",
                          "readme")
        self.assertEqual(first.rc, 0, first.err)
        self.assertGreater(len(first.hits()), 2)
        with open(os.path.join(self.dir, project), "rb") as f:
            saved = f.read()
        self.assertIn(b"\nquery=readme\n", saved)
        self.assertIn(b"\nengine=1,3,\nBODY=\n", saved)
        self.assertEqual(saved.count(b"<5>"), len(first.hits()))

        again = self.hunt("--project", project, "--save", "--new-only")
        self.assertEqual((again.rc, again.out), (1, ""), again.err)
        self.assertEqual({j["id"] for j in again.jobs}, {0, 1, 3})

        new = (b"readme-new-2.0.txt", b"42", b"2026-12-07",
               b"ftp://ftp.demo.example/pub/new/readme-new-2.0.txt")
        self.add_rows([new])
        third = self.hunt("--project", project, "--save", "--new-only")
        self.assertEqual(third.rc, 0, third.err)
        # Engine 1 reads its size as the date too; whichever page came first
        # made the hit.
        self.assertEqual([(h[0], h[3]) for h in third.hits()], [(new[0].decode(), new[3].decode())])
        with open(os.path.join(self.dir, project), "rb") as f:
            saved = f.read()
        self.assertEqual(saved.count(b"<5>"), len(first.hits()) + 1)

        # A run in which no engine answered leaves the project alone: saved,
        # it would make every hit new again next time.
        self.add_engine(41, "http://127.0.0.1:%d/t0/search?q=$QUERY" % closed_port())
        down = self.hunt("--project", project, "--engines", "41", "--save", "--new-only")
        self.assertEqual((down.rc, down.out), (1, ""), down.err)
        self.assertIn("no engine delivered a page", down.err)
        with open(os.path.join(self.dir, project), "rb") as f:
            self.assertEqual(f.read(), saved)


class Probe(HuntCase):
    ANCHOR_RE = re.compile(r"^anchor (\d+) @(\d+): (hit|accepted|rejected) ?(\(.*?\))? text=")

    def probe(self, *args):
        proc = subprocess.run(hunt_test.CLI + ["probe"] + list(args), cwd=self.dir,
                              capture_output=True, timeout=hunt_test.RUN_LIMIT)
        return proc.returncode, proc.stdout.decode("latin-1").splitlines(), proc.stderr

    def test_every_verdict_on_one_page(self):
        before = sorted(os.listdir(self.dir))
        rc, lines, err = self.probe("--exact", "1", "2", "mixed")
        self.assertEqual(rc, 0, err)
        # Nothing written here (the server's log aside).
        self.assertEqual(sorted(set(os.listdir(self.dir)) - {"requests.log"}), before)
        self.assertEqual(os.listdir(os.path.join(self.dir, "reports")), [])
        self.assertIn("> GET /t1/search?q=mixed&n=50 HTTP/1.0\\r\\n", lines)
        self.assertIn('answer: ', "\n".join(lines))
        self.assertIn("redirect: no; read as a result page", lines)
        verdicts = {}
        for line in lines:
            m = self.ANCHOR_RE.match(line)
            if m:
                verdicts.setdefault(m.group(3) + " " + (m.group(4) or ""), []).append(line)
        self.assertEqual(len(verdicts["hit "]), 1)
        self.assertIn('location="ftp://ftp.demo.example/pub/demo/mixed"', verdicts["hit "][0])
        self.assertIn('text="Home" href="/t1/"', verdicts["rejected (no term in the text)"][0])
        self.assertIn('href="http://127.0.0.1/file/mixed"', verdicts['rejected (no "ftp:")'][0])
        self.assertEqual(len(verdicts["rejected (Exact Match)"]), 2)
        self.assertEqual(len(verdicts["rejected (no usable href)"]), 2)
        # The repeated row at the end of the page.
        self.assertEqual(len(verdicts["accepted (already seen)"]), 1)
        summary = [line for line in lines if line.startswith("summary: ")]
        self.assertEqual(summary, ['summary: 9 anchors: 1 hit, 2 already seen, 1 no term, '
                                   '1 no "ftp:", 2 Exact Match, 2 no usable href'])
        self.assertEqual(lines[-1], 'job: ended with "1 files found" status=0x4 request=0x0 '
                                    'hits=3')

    def test_redirect_then_sizes_and_dates(self):
        self.add_engine(45, self.demo_request("/redirect-me", 0))
        rc, lines, err = self.probe("45", "readme")
        self.assertEqual(rc, 0, err)
        requests = [i for i, line in enumerate(lines) if line == "request:"]
        self.assertEqual(len(requests), 2)
        self.assertTrue(lines[requests[0] + 1].startswith("> GET /redirect-me/t0/search?"))
        follow = [line for line in lines if line.startswith("redirect: yes, followed to ")]
        self.assertEqual(len(follow), 1)
        self.assertIn(':%d/t0/search?q=readme' % self.port2, follow[0])
        hits = [line for line in lines if self.ANCHOR_RE.match(line) and ": hit " in line]
        self.assertGreater(len(hits), 2)
        for line in hits:
            self.assertRegex(line, r' size="\d+" date="\d+" location="ftp://')
        rc, lines, err = self.probe("2", "nothing-has-this-name")
        self.assertEqual(rc, 1, err)
        self.assertIn("summary: 0 anchors:", lines[-2])


if __name__ == "__main__":
    hunt_test.main()
