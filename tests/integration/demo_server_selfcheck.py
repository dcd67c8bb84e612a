#!/usr/bin/env python3
"""Quick check of the demo engine server: pages, knobs, proxy form, log.

    demo_server_selfcheck.py [TORVANE_CLI]

Starts tools/demo_server.py on free ports and talks raw HTTP/1.0 to it.
Given torvane-cli, it also reads every engine type's page with
"torvane-cli parse" and checks each hit's name, size, date and location
against the file index. Exits 0 when every check passes.
"""

import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import demo_server  # noqa: E402

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


def get(port, target, host="127.0.0.1"):
    # The shape the program sends: one more line break after the empty line.
    return fetch(port, b"GET %s HTTP/1.0\r\nHost: %s\r\nConnection: close\r\n\r\n\r\n"
                 % (target.encode(), host.encode()))


def post(port, path, body):
    body = body.encode() + b"\r\n"
    return fetch(port, b"POST %s HTTP/1.0\r\nContent-Length: %d\r\n"
                 b"Content-type: application/x-www-form-urlencoded\r\n\r\n%s"
                 % (path.encode(), len(body), body))


def split(answer):
    head, _, body = answer.partition(b"\r\n\r\n")
    return head.decode("latin-1"), body.decode("latin-1")


def main():
    tmp = tempfile.mkdtemp(prefix="demo-selfcheck-")
    log = os.path.join(tmp, "requests.log")
    proc = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "tools", "demo_server.py"), "--port", "0",
         "--port2", "0", "--log", log, "--exit-after", "60", "--hang-seconds", "5"],
        stdout=subprocess.PIPE, text=True)
    try:
        words = proc.stdout.readline().split()
        check(len(words) == 3 and words[0] == "listening", "first line 'listening P P2'")
        port, port2 = int(words[1]), int(words[2])
        run_checks(port, port2, log)
        if len(sys.argv) > 1:
            check_layouts(sys.argv[1], port, tmp)
    finally:
        proc.kill()
        proc.wait()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


def run_checks(port, port2, log):
    # A file of the index: zip_3.0-13_amd64.deb, 229532 bytes.
    zip_loc = "ftp://ftp.debian.org/debian/pool/main/z/zip/zip_3.0-13_amd64.deb"

    head, body = split(get(port, "/t2/search?q=ZIP_3.0&n=5"))
    check(head.startswith("HTTP/1.0 200 "), "type 2 GET answers 200")
    check('<a href="%s">zip_3.0-13_amd64.deb</a></td><td>229532</td><td>2026-07-11</td>'
          % zip_loc in body, "type 2 row: link, size cell, date cell")

    head, body = split(get(port, "/t11/search?q=zip&n=500"))
    check("<i>ftp://ftp.debian.org/debian/pool/main/z/zip/</i> 229532 2026-07-11 <a href="
          in body, "type 11 row: directory, size and date in front of the link")
    check(body.count("<a href=") >= 100, "type 11 honours a large n")

    head, body = split(post(port, "/t15/search", "q=zip&n=3"))
    check(head.startswith("HTTP/1.0 200 "), "POST answers 200")
    check(body.count("<a href=") == 3, "POST honours n=3")
    head, body = split(post(port, "/t2/search", "q=zip_3.0-13_amd64.deb&n=1"))
    check('zip_3.0-13_amd64.deb</a></td><td>229532</td>' in body,
          "POST term decoded, exact name first")

    # Redirect to the second port, once.
    head, _ = split(get(port, "/t5/search?q=redirect-me&n=5"))
    check(head.startswith("HTTP/1.0 302 "), "redirect-me answers 302")
    loc = [l for l in head.split("\r\n") if l.startswith("Location: ")]
    target = loc[0][len("Location: http://127.0.0.1:%d" % port2):] if loc else ""
    check(bool(loc) and loc[0].startswith("Location: http://127.0.0.1:%d/t5/search?" % port2),
          "redirect goes to port2")
    head, body = split(get(port2, target))
    check(head.startswith("HTTP/1.0 200 ") and "ftp.demo.example/pub/demo/redirect-me"
          in body, "the redirect target answers with hits")
    head, _ = split(get(port, "/redirect-me/t1/search?q=zip&n=5"))
    check(head.startswith("HTTP/1.0 302 "), "path knob redirect-me answers 302")

    head, body = split(get(port, "/t3/search?q=notfound&n=5"))
    check(head.startswith("HTTP/1.0 404 Not Found"), "notfound answers 404")
    head, _ = split(get(port, "/notfound/t3/search?q=zip"))
    check(head.startswith("HTTP/1.0 404 "), "path knob notfound answers 404")
    head, _ = split(get(port, "/t3/search?q=changelog&n=5"))
    check(head.startswith("HTTP/1.0 200 "), "a knob word inside another word is no knob")

    # Proxy form: served when the host is local or the vendor, refused otherwise.
    head, body = split(fetch(port, b"GET http://127.0.0.1:%d/t16/search?q=zip&n=2 HTTP/1.0"
                                   b"\r\n\r\n\r\n" % port))
    check(head.startswith("HTTP/1.0 200 ") and body.count("<a href=") == 2,
          "proxy form served")
    head, body = split(fetch(port, b"GET http://www.torvane.example/cgi-bin/news.cgi "
                                   b"HTTP/1.0\r\n\r\n\r\n"))
    check(head.startswith("HTTP/1.0 200 ") and "\n#VER1=" in body,
          "vendor news address gives the version index")
    head, body = split(fetch(port, b"GET http://www.torvane.example/torva.idx HTTP/1.0\r\n\r\n"))
    check("%%*00" in body, "vendor insert file download")
    head, _ = split(fetch(port, b"GET http://example.com/ HTTP/1.0\r\n\r\n"))
    check(head.startswith("HTTP/1.0 403 "), "other hosts are refused")

    answer = get(port, "/t1/search?q=huge&n=5")
    check(len(answer) > 500000 and answer.rstrip().endswith(b"</html>"),
          "huge answer is a whole page over 500000 bytes")
    check(b"huge-tail.txt" in answer[500000:], "huge page has a hit behind 500000 bytes")
    check(get(port, "/t1/search?q=dropme") == b"", "dropme closes without a byte")

    # hang: no answer while the client waits.
    with socket.create_connection(("127.0.0.1", port), timeout=0.5) as s:
        s.sendall(b"GET /t1/search?q=hang HTTP/1.0\r\n\r\n")
        try:
            got = s.recv(10)
            check(False, "hang sent %r" % got)
        except socket.timeout:
            pass

    # 20 slow answers at once finish in about one delay, not twenty.
    start = time.monotonic()
    results = []
    threads = [threading.Thread(target=lambda: results.append(
        get(port, "/slow300/t0/search?q=zip&n=2"))) for _ in range(20)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    took = time.monotonic() - start
    check(len(results) == 20 and all(r.startswith(b"HTTP/1.0 200 ") for r in results),
          "20 concurrent answers")
    check(0.3 <= took < 2.0, "20 concurrent slow300 answers took %.2f s" % took)

    records = demo_server.read_request_log(log)
    first = records[0]["raw"] if records else b""
    check(first == b"GET /t2/search?q=ZIP_3.0&n=5 HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                   b"Connection: close\r\n\r\n\r\n", "log holds the raw request bytes")
    check(any(r["port"] == port2 for r in records), "log names the port")


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
        _, body = split(get(port, "/t%d/search?q=%s&n=500" % (etype, term)))
        page = os.path.join(tmp, "t%d.htm" % etype)
        with open(page, "w", encoding="latin-1") as f:
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
