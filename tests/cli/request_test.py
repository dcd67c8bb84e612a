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


def check(label, cond, detail=""):
    print("%s %s%s" % ("ok  " if cond else "FAIL", label, "" if cond else " " + detail))
    if not cond:
        failures.append(label)


def run(cli, files, args):
    """Runs the command in a scratch directory holding files; the result and
    the names left in the directory."""
    with tempfile.TemporaryDirectory(prefix="torvane-cli-request-") as d:
        for name, text in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(text.encode("latin-1"))
        # Arguments as bytes, so that a Latin-1 term reaches the program as
        # one byte per character.
        argv = [os.fsencode(cli), b"request"] + [a.encode("latin-1") for a in args]
        return subprocess.run(argv, cwd=d, capture_output=True, timeout=60), sorted(os.listdir(d))


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    cli = os.path.abspath(sys.argv[1])
    ini = "files=25\nexact=0\n"
    proxy_ini = "proxy=cache.local\nport=3128\nfiles=25\n"
    term = "a b&c\xe9"

    for label, ini_text, args, stdout, stderr in (
            ("GET direct", ini, ["3", term], b"GET /find?q=a+b%26c%E9&max=25" + GET_HEADERS,
             b"connect get.example 8000\n"),
            ("GET proxy", proxy_ini, ["3", term],
             b"GET http://get.example:8000/find?q=a+b%26c%E9&max=25" + GET_HEADERS,
             b"connect cache.local 3128\n"),
            ("GET without torva.ini", None, ["3", "x"], b"GET /find?q=x&max=50" + GET_HEADERS,
             b"connect get.example 8000\n"),
            ("POST direct", ini, ["4", term], b"POST /cgi-bin/s" + POST_HEADERS,
             b"connect post.example 80\n"),
            ("POST proxy", proxy_ini, ["4", term], b"POST http://post.example/cgi-bin/s" + POST_HEADERS,
             b"connect cache.local 3128\n")):
        files = {"engines.dat": ENGINES, **({"torva.ini": ini_text} if ini_text else {})}
        p, left = run(cli, files, args)
        check(label + ": exit 0", p.returncode == 0, p.stderr.decode("latin-1"))
        check(label + ": stdout bytes", p.stdout == stdout, "\n got %r\nwant %r" % (p.stdout, stdout))
        check(label + ": stderr", p.stderr == stderr, "got %r want %r" % (p.stderr, stderr))
        # Only start-up is run: torva.ini is read, never written.
        check(label + ": no file written", left == sorted(files), repr(left))

    with_engines = {"engines.dat": ENGINES}
    for label, files, args, words in (
            ("unknown engine", with_engines, ["99", "x"], ["ID=99"]),
            ("no template", with_engines, ["5", "x"], ["REQ="]),
            ("unavailable", with_engines, ["6", "x"], ["unavailable"]),
            ("missing engines.dat", {}, ["3", "x"],
             ["Error: Unable to Load Engines File 'engines.dat'", "engines.dat"]),
            ("term too long", with_engines, ["3", "q" * 3000], ["too long"]),
            ("no term", with_engines, ["3"], ["usage: torvane-cli request ID TERM"]),
            ("bad id", with_engines, ["x3", "t"], ["number"])):
        p, _ = run(cli, files, args)
        err = p.stderr.decode("latin-1")
        check(label + ": exit 2, nothing on stdout", p.returncode == 2 and p.stdout == b"",
              "exit %d, stdout %r" % (p.returncode, p.stdout))
        for w in words:
            check(label + ": says %r" % w, w in err, repr(err))

    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
