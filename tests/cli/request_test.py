#!/usr/bin/env python3
"""Runs `torvane-cli request` in scratch directories and checks the exact
request bytes on stdout, the connect line on stderr and the exit status.

usage: request_test.py PATH-TO-TORVANE-CLI
"""
import os
import subprocess
import sys
import tempfile

ENGINES = (
    "; engines for checking requests\n"
    "NAME=Getter\n"
    "REQ=http://get.example:8000/find?q=$QUERY&max=$HITS#results\n"
    "HOME=http://get.example/\n"
    "ENGINE=1\n"
    "ID=3\n"
    "NAME=Poster\n"
    "REQ=http://post.example/POST /cgi-bin/s $HTTPterm=$QUERY&n=$HITS\n"
    "HOME=*none\n"
    "ID=4\n"
    "NAME=Empty\n"
    "ID=5\n"
    "NAME=Retired\n"
    "REQ=*http://old.example/?q=$QUERY\n"
    "ID=6\n"
)

TAIL = (b"Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
        b"Accept-Charset: iso-8859-1,*,utf-8\r\n")

GET_HEADERS = (b" HTTP/1.0\r\n"
               b"Referer: http://get.example/\r\n"
               b"Connection: close\r\n"
               b"User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n"
               b"Host: get.example:8000\r\n"
               b"Pragma: no-cache\r\n" + TAIL + b"\r\n\r\n")

POST_HEADERS = (b" HTTP/1.0\r\n"
                b"Connection: close\r\n"
                b"User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n"
                b"Content-Length: 22\r\n"
                b"Pragma: No-Cache\r\n"
                b"Host: post.example\r\n"
                b"Content-type: application/x-www-form-urlencoded\r\n" + TAIL +
                b"\r\nterm=a+b%26c%E9&n=25\r\n")

failures = []


def run(cli, files, args):
    with tempfile.TemporaryDirectory(prefix="torvane-cli-request-") as d:
        for name, text in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(text.encode("latin-1"))
        # Arguments as bytes, so that a Latin-1 term reaches the program as
        # one byte per character.
        argv = [os.fsencode(cli), b"request"] + [a.encode("latin-1") for a in args]
        p = subprocess.run(argv, cwd=d, capture_output=True, timeout=60)
        left = sorted(os.listdir(d))
    return p, left


def check(label, cond, detail=""):
    if not cond:
        failures.append(label)
        print("FAIL %s %s" % (label, detail))
    else:
        print("ok   %s" % label)


def expect_request(cli, label, ini, args, stdout, stderr):
    files = {"engines.dat": ENGINES}
    if ini is not None:
        files["torva.ini"] = ini
    p, left = run(cli, files, args)
    check(label + ": exit 0", p.returncode == 0, p.stderr.decode("latin-1"))
    check(label + ": stdout bytes", p.stdout == stdout, "\n got %r\nwant %r" % (p.stdout, stdout))
    check(label + ": stderr", p.stderr == stderr, "got %r want %r" % (p.stderr, stderr))
    # Only start-up is run: torva.ini is read, never written.
    check(label + ": no file written", left == sorted(files), repr(left))


def expect_refusal(cli, label, files, args, words):
    p, _ = run(cli, files, args)
    err = p.stderr.decode("latin-1")
    check(label + ": exit 2", p.returncode == 2, "exit %d" % p.returncode)
    check(label + ": nothing on stdout", p.stdout == b"", repr(p.stdout))
    for w in words:
        check(label + ": says %r" % w, w in err, repr(err))


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    cli = os.path.abspath(sys.argv[1])
    ini = "files=25\nexact=0\n"
    proxy_ini = "proxy=cache.local\nport=3128\nfiles=25\n"

    expect_request(cli, "GET direct", ini, ["3", "a b&c\xe9"],
                   b"GET /find?q=a+b%26c%E9&max=25" + GET_HEADERS,
                   b"connect get.example 8000\n")
    expect_request(cli, "GET proxy", proxy_ini, ["3", "a b&c\xe9"],
                   b"GET http://get.example:8000/find?q=a+b%26c%E9&max=25" + GET_HEADERS,
                   b"connect cache.local 3128\n")
    expect_request(cli, "GET without torva.ini", None, ["3", "x"],
                   b"GET /find?q=x&max=50" + GET_HEADERS, b"connect get.example 8000\n")
    expect_request(cli, "POST direct", ini, ["4", "a b&c\xe9"],
                   b"POST /cgi-bin/s" + POST_HEADERS, b"connect post.example 80\n")
    expect_request(cli, "POST proxy", proxy_ini, ["4", "a b&c\xe9"],
                   b"POST http://post.example/cgi-bin/s" + POST_HEADERS,
                   b"connect cache.local 3128\n")

    with_engines = {"engines.dat": ENGINES}
    expect_refusal(cli, "unknown engine", with_engines, ["99", "x"], ["ID=99"])
    expect_refusal(cli, "no template", with_engines, ["5", "x"], ["REQ="])
    expect_refusal(cli, "unavailable", with_engines, ["6", "x"], ["unavailable"])
    expect_refusal(cli, "missing engines.dat", {}, ["3", "x"],
                   ["Error: Unable to Load Engines File 'engines.dat'", "engines.dat"])
    expect_refusal(cli, "term too long", with_engines, ["3", "q" * 3000], ["too long"])
    expect_refusal(cli, "no term", with_engines, ["3"], ["usage: torvane-cli request ID TERM"])
    expect_refusal(cli, "bad id", with_engines, ["x3", "t"], ["number"])

    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
