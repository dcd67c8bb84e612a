#!/usr/bin/env python3
"""Quick check of the demo engine server, for what the whole Hunts don't show.

    demo_server_selfcheck.py [TORVANE_CLI]

Starts tools/demo_server.py on a free port and talks raw HTTP/1.0 to it: the
proxy form refuses foreign hosts, and the huge page is whole and has a hit
behind 500000 bytes. Given torvane-cli, it also reads every engine type's
page with "torvane-cli parse" and checks each hit's name, size, date and
location against the file index. The Hunt integration tests exercise the
server's other knobs. Exits 0 when every check passes.
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import urllib.parse

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAIL:", what)


def fetch(port, request, timeout=10.0):
    """Sends the request bytes and returns everything until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return data
            data += chunk


def get(port, target):
    # The shape the program sends: one more line break after the empty line.
    return fetch(port, b"GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n\r\n"
                 % target.encode())


def main():
    tmp = tempfile.mkdtemp(prefix="demo-selfcheck-")
    proc = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "tools", "demo_server.py"), "--port", "0",
         "--exit-after", "60"],
        stdout=subprocess.PIPE, text=True)
    try:
        words = proc.stdout.readline().split()
        check(len(words) == 2 and words[0] == "listening", "first line 'listening PORT'")
        port = int(words[1])
        head = fetch(port, b"GET http://example.com/ HTTP/1.0\r\n\r\n").partition(b"\r\n")[0]
        check(head.startswith(b"HTTP/1.0 403 "), "other hosts are refused: %r" % head)
        answer = get(port, "/t1/search?q=huge&n=5")
        check(len(answer) > 500000 and answer.rstrip().endswith(b"</html>"),
              "huge answer is a whole page over 500000 bytes")
        check(b"huge-tail.txt" in answer[500000:], "huge page has a hit behind 500000 bytes")
        if len(sys.argv) > 1:
            check_layouts(sys.argv[1], port, tmp)
    finally:
        proc.kill()
        proc.wait()
        shutil.rmtree(tmp, True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


def index_lines(term):
    with open(os.path.join(ROOT, "data", "ftp-index.tsv"), encoding="latin-1") as f:
        rows = [line.rstrip("\n").split("\t") for line in f]
    return [r for r in rows if term in r[0].lower()]


def expected_hit(etype, name, size, date, loc):
    """What the parser should make of one index line on a type's page."""
    quoted = urllib.parse.quote(name)
    if etype == 12:
        return (name, size, "", "http://www.ftpsearch-b.example/file/" + quoted)
    if etype == 13:
        return (name, "", "", "http://www.ftpsearch-a.example/cgi-bin/get.cgi?f=" + quoted)
    if etype in (1, 3, 8):
        return (name, "", "", loc)
    if etype == 0:
        return (name, size, size, loc)  # one text read as both
    if etype == 7:
        y, m, d = date.split("-")
        months = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()
        return (name, size, "%s %s %s" % (months[int(m) - 1], d, y), loc)
    return (name, size, date, loc)


def check_layouts(cli, port, tmp):
    term = "chess"
    lines = index_lines(term)
    check(len(lines) > 5, "the index has files for %r" % term)
    for etype in range(17):
        body = get(port, "/t%d/search?q=%s&n=500" % (etype, term)).partition(b"\r\n\r\n")[2]
        page = os.path.join(tmp, "t%d.htm" % etype)
        with open(page, "wb") as f:
            f.write(body)
        run = subprocess.run([cli, "parse", "--type", str(etype), "--exact", "0", "--term",
                              term, page], capture_output=True, text=True, encoding="latin-1")
        got = sorted(tuple(l.split("\t")) for l in run.stdout.splitlines())
        # Type 5 takes only the first file of a page.
        want = sorted(expected_hit(etype, *r) for r in (lines[:1] if etype == 5 else lines))
        check(run.returncode == 0 and got == want,
              "type %d page read as %d hits, %d expected; first differences: %s" % (
                  etype, len(got), len(want),
                  sorted(set(got) ^ set(want))[:2]))


if __name__ == "__main__":
    sys.exit(main())
