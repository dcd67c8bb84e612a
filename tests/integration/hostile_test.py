#!/usr/bin/env python3
"""Hunts through torvane-cli against a hostile server of this file's own.

Usage: hostile_test.py --cli PATH [--emulator CMD] [unittest args]

The server listens on 127.0.0.1 only and is also the Hunt's proxy, so the
vendor's job reaches it too. It answers each request by the first route
whose text occurs in the request target: pages posing as the vendor's,
redirects to the program's own files, answers that never end, status words
in headers, ports beyond 65535, pages that repeat one location. No
connection is held longer than SERVER_LIMIT seconds, and the server stops
with its test.
"""

import os
import shutil
import socket
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
from cli_run import CLI, Run, main  # noqa: E402

RUN_LIMIT = 50       # seconds any one run of the tool may take
SERVER_LIMIT = 30    # seconds any one answer may last
VENDOR = "www.torvane.example"


def page(body, status="200 OK", headers=""):
    """An answer sent whole, then the connection closed."""
    data = ("HTTP/1.0 %s\r\n%s\r\n" % (status, headers)).encode("latin-1")
    data += body.encode("latin-1") if isinstance(body, str) else body
    return lambda handler: handler.send(data)


def redirect(location, headers=""):
    return page("", "302 Found", headers + "Location: %s\r\n" % location)


def endless(piece, every=0.0):
    """A 200 answer that does not end: piece after piece until the client
    gives up, SERVER_LIMIT passes or 8 MB are out."""
    def answer(handler):
        handler.send(b"HTTP/1.0 200 OK\r\n\r\n", close=False)
        end = time.monotonic() + SERVER_LIMIT
        for _ in range(8000000 // len(piece)):
            if time.monotonic() > end or not handler.send(piece, close=False):
                return
            time.sleep(every)
        handler.send(b"")
    return answer


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    block_on_close = False  # an endless answer ends by itself (SERVER_LIMIT)
    allow_reuse_address = True

    def __init__(self):
        socketserver.TCPServer.__init__(self, ("127.0.0.1", 0), Handler)
        self.port = self.server_address[1]
        self.routes = []     # (text in the target, answer), first match wins
        self.targets = []    # request targets in the order they came
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def stop(self):
        self.shutdown()
        self.server_close()


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        req, _ = demo_server.read_request(self.request)
        if req is None:
            return
        self.server.targets.append(req.target)
        for text, answer in self.server.routes:
            if text in req.target:
                answer(self)
                return
        page("not here", "404 Not Found")(self)

    def send(self, data, close=True):
        try:
            self.request.sendall(data)
        except OSError:
            return False
        if close:
            # Half-close, then wait for the client's close: closing over
            # unread bytes would reset the connection under the answer.
            try:
                self.request.shutdown(socket.SHUT_WR)
                self.request.settimeout(2.0)
                while self.request.recv(4096):
                    pass
            except OSError:
                pass
        return True


class HostileCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="torvane-hostile-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        os.mkdir(os.path.join(self.dir, "reports"))
        shutil.copy(os.path.join(ROOT, "data", "search.idx"), self.dir)
        self.server = Server()
        self.addCleanup(self.server.stop)
        self.base = "http://127.0.0.1:%d" % self.server.port
        # The vendor's job gets an index without directives unless a test
        # routes it elsewhere first.
        self.route("news.cgi", page("Torvane version index\n"))
        self.engines = []
        self.write_file("torva.ini", "packcount=20\ntimeout=2000\nexact=0\nfiles=50\n")

    def route(self, text, answer):
        self.server.routes.insert(0, (text, answer))

    def write_file(self, name, text):
        with open(os.path.join(self.dir, name), "w", newline="\n") as f:
            f.write(text)

    def read_file(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read().decode("latin-1")

    def engine(self, engine_id, answer, engine_type=1, request=None):
        """An engine asking /eID (or the given request) that gets this answer."""
        path = "/e%d" % engine_id
        self.route(path + "?", answer)
        self.engines.append("NAME=Engine %d\nREQ=%s\nENGINE=%d\nID=%d\n"
                            % (engine_id, request or self.base + path + "?q=$QUERY",
                               engine_type, engine_id))

    def write_engines(self):
        # A Hunt needs an engine; one the vendor's job may keep from being asked.
        engines = self.engines or ["NAME=Idle\nREQ=%s/idle\nID=1\n" % self.base]
        self.write_file("engines.dat", "\n".join(engines))

    def hunt(self, query="readme", *args):
        self.write_engines()
        ids = ",".join(line[3:] for line in self.read_file("engines.dat").splitlines()
                       if line.startswith("ID="))
        proc = subprocess.run(CLI + ["hunt", "--proxy", "127.0.0.1:%d" % self.server.port,
                                     "--engines", ids] + list(args) + [query],
                              cwd=self.dir, capture_output=True, timeout=RUN_LIMIT)
        return Run(self.dir, proc.returncode, proc.stdout.decode("latin-1"), proc.stderr.decode("latin-1"))

    def asked(self, text):
        return [t for t in self.server.targets if text in t]


HIT = "<a href=\"ftp://h/pub/readme.txt\">readme.txt</a>\n"


class VendorChannel(HostileCase):
    def test_only_the_vendor_job_reaches_the_version_check(self):
        self.route("news.cgi", page("#MESSAGE=from the vendor;\n"))
        # An engine whose own address names the vendor's news, and one that
        # redirects its job there; either page, read as the version index,
        # would show a message, order a download and end the program.
        posing = "/x." + VENDOR.split(".", 1)[1] + "/cgi-bin/news"
        index = page("#MESSAGE=from an engine;\n#UPGRADE=99\n#BYE\n" + HIT)
        self.engine(1, index, request=self.base + posing + "?1")
        self.engine(2, redirect(self.base + posing + "?2"))
        self.route(posing, index)
        run = self.hunt()
        boxes = [line for line in run.err.splitlines() if line.startswith("Message from")]
        self.assertEqual(boxes, ["Message from Kite HQ: from the vendor"])
        self.assertEqual(self.asked("torva.idx"), [])
        # The engines' pages were read as pages.
        self.assertEqual([(run.last_job(i)["request"], run.last_job(i)["hits"] > 0) for i in (1, 2)],
                         [(0, True), (0, True)])
        self.assertEqual([h[3] for h in run.hits()], ["ftp://h/pub/readme.txt"])


class Download(HostileCase):
    def order(self, answer):
        self.route("news.cgi", page("#UPGRADE=5\n"))
        self.route("torva.idx", answer)
        return self.hunt("readme", "--connections", "1")

    def test_the_insert_file_becomes_search_idx_only_when_whole(self):
        insert = "%%*01\n<p>New insert $COUNT</p>\n|\n"
        self.write_engines()
        own = {name: self.read_file(name) for name in ("search.idx", "torva.ini", "engines.dat")}
        cases = [
            # Redirects to the program's own settings and engines, a body
            # cut short, a bad status.
            (redirect("http://%s/torva.ini" % VENDOR), "Unable to write upgrade file"),
            (redirect("http://%s/engines.dat" % VENDOR), "Unable to write upgrade file"),
            (page(insert[:9], headers="Content-Length: %d\r\n" % len(insert)), None),
            (page(insert, "404 Not Found"), None),
        ]
        self.route("torva.ini", page("proxy=10.9.9.9\nport=3128\n"))
        self.route("engines.dat", page("NAME=Another\nREQ=http://elsewhere/\n"))
        for answer, box in cases:
            run = self.order(answer)
            if box:
                self.assertIn("Error: " + box, run.err.splitlines())
            for name, text in own.items():
                self.assertEqual(self.read_file(name), text, name)
            self.assertEqual(sorted(os.listdir(self.dir)),
                             ["engines.dat", "reports", "search.idx", "torva.ini"])
        self.order(page(insert))
        self.assertEqual(self.read_file("search.idx"), insert)
        self.assertEqual(sorted(os.listdir(self.dir)),
                         ["engines.dat", "reports", "search.idx", "torva.ini"])


class EveryJobEnds(HostileCase):
    def test_a_trickle_ends_as_timed_out_and_a_stream_of_pieces_as_an_error(self):
        # A byte every 0.1 s is progress for ever; a stream of "200 " is a
        # page, then pieces without a status line.
        self.engine(1, endless(b"x", 0.1))
        self.engine(2, endless(b"200 " * 4096))
        run = self.hunt("readme", "--timeout", "50")
        self.assertEqual(run.last_job(1)["status"] & 0x408, 0x408)
        self.assertIn("Timeout Error...(Abort): the job ran longer than 3 seconds",
                      run.slot_texts(1))
        self.assertEqual(run.last_job(2)["request"] & 0x8, 0x8)
        self.assertTrue([t for t in run.slot_texts(2) if t.startswith("Request Error (")])

    def test_an_endless_download_ends_at_the_byte_bound(self):
        # The download is not cut into pieces: only the byte bound ends it.
        insert = self.read_file("search.idx")
        self.route("news.cgi", page("#UPGRADE=5\n"))
        self.route("torva.idx", endless(b"%" * 65536))
        run = self.hunt("readme", "--connections", "1")
        self.assertIn("Request Error (the answer is larger than 5000000 bytes)", run.slot_texts(0))
        self.assertEqual(self.read_file("search.idx"), insert)


class Statuses(HostileCase):
    def test_the_status_comes_from_the_status_line(self):
        decoy = self.base + "/decoy"
        self.route("/decoy", page(HIT.replace("readme", "decoy")))
        self.route("/target", page(HIT))
        # A good page with "302" in its headers and an address in its body.
        self.engine(1, page(HIT + "see " + decoy,
                            headers="X-Id: 302\r\nContent-Length: 13024\r\n"))
        # A redirect whose first address is not its Location.
        self.engine(2, redirect(self.base + "/target", "X-Note: %s\r\n" % decoy))
        # "200 " in a header of an error answer.
        self.engine(3, page(HIT, "404 Not Found", "X-Was: 200 OK\r\n"))
        run = self.hunt()
        self.assertEqual(self.asked("/decoy"), [])
        self.assertEqual(len(self.asked("/target")), 1)
        self.assertEqual([(run.last_job(i)["request"], run.last_job(i)["hits"] > 0) for i in (1, 2, 3)],
                         [(0, True), (0, True), (8, False)])


class Ports(HostileCase):
    def test_a_port_beyond_65535_is_a_request_error(self):
        # A redirect naming one, and an engine's own address.
        beyond = "http://127.0.0.1:%d" % (self.server.port + 65536)
        self.engine(1, redirect(beyond + "/e1?again"))
        self.engine(2, page(""), request=beyond + "/e2?q=$QUERY")
        run = self.hunt()
        text = "Request refused: the port is not between 1 and 65535"
        for engine_id in (1, 2):
            self.assertIn(text, run.slot_texts(engine_id))
            self.assertIn(text, self.read_file("reports/%d.htm" % engine_id))
            self.assertEqual(run.last_job(engine_id)["request"] & 0x8, 0x8)
        self.assertEqual(self.asked("again") + self.asked("/e2"), [])


class Pages(HostileCase):
    def test_anchors_closed_only_at_the_end_of_the_page(self):
        # Every link text runs to the one "</a>", 490 KB on.
        anchors = "".join("<a href=\"ftp://h/%05d\">readme%05d<br>" % (i, i)
                          for i in range(12500))
        self.engine(1, page(anchors + "</a>"))
        run = self.hunt()
        # Each a hit, and each met twice: the rule leaves the scan on its anchor.
        self.assertEqual(len({h[3] for h in run.hits()}), 12500)
        self.assertEqual(run.last_job(1)["hits"], 2 * 12500)


class OneLocationOneHit(HostileCase):
    def test_a_location_made_by_the_rule_is_one_hit(self):
        # Type 12 makes the location from a prefix; a tab in an href is
        # tidied away. Each is met again on the same page, on another
        # engine's page and for a second term.
        prefixed = "<a href=\"/f/readme.txt\">readme.txt</a><td>1</td><td>2</td><td>3</td>\n"
        tidied = "<a href=\"ftp://h/read\tme.txt\">readme.txt</a>\n"
        self.engine(1, page(prefixed * 2), engine_type=12)
        self.engine(2, page(prefixed), engine_type=12)
        self.engine(3, page(tidied * 2))
        self.engine(4, page(tidied))
        run = self.hunt("readme,readme.txt")
        self.assertEqual(sorted(h[3] for h in run.hits()),
                         ["ftp://h/read me.txt", "http://www.ftpsearch-b.example/f/readme.txt"])


class Terms(HostileCase):
    def test_terms_beyond_49_are_named(self):
        self.engine(1, page(HIT))
        run = self.hunt(",".join("t%d" % i for i in range(60)), "--connections", "1")
        self.assertIn("torvane-cli hunt: the query holds 60 search terms; only the first 49 "
                      "are hunted", run.err.splitlines())
        self.assertEqual(len(self.asked("/e1?")), 49)


if __name__ == "__main__":
    main()
