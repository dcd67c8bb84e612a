#!/usr/bin/env python3
"""Runs `torvane-cli report` on the sample project in tests/cli/report in
scratch directories and checks the three pages byte for byte, the printed
path, the exit status and that torva.ini is left alone.

usage: report_test.py PATH-TO-TORVANE-CLI
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "report")
INPUTS = ("engines.dat", "torva.ini", "search.idx", "sample.tvs")
PAGES = ("results.htm", "intro.htm", "menu.htm")

failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append(what + (": " + detail if detail else ""))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def scratch(prefix):
    d = tempfile.mkdtemp(prefix="torvane-cli-report-" + prefix + "-")
    for name in INPUTS:
        shutil.copy(os.path.join(SAMPLE, name), d)
    return d


def run(cli, d, *args):
    return subprocess.run([cli, "report", *args], cwd=d, capture_output=True, timeout=60)


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return "first difference at byte %d: %r vs %r" % (i, a[i:i + 40], b[i:i + 40])
    return "lengths %d vs %d" % (len(a), len(b))


def check_pages(what, d):
    for page in PAGES:
        got = read(os.path.join(d, "reports", page))
        want = read(os.path.join(SAMPLE, "expected", page))
        check("%s: %s" % (what, page), got == want, first_difference(got, want))


def main(cli):
    cli = os.path.abspath(cli)

    # A fresh directory: reports/ is created, the pages match, the path of
    # the frameset is printed, and torva.ini keeps its running number.
    d = scratch("fresh")
    try:
        p = run(cli, d, "sample.tvs")
        check("fresh: exit 0", p.returncode == 0, p.stderr.decode(errors="replace"))
        want_path = os.path.join(os.path.realpath(d), "reports", "report.htm")
        got_path = os.path.realpath(p.stdout.decode().strip())
        check("fresh: prints the frameset path", got_path == want_path,
              "%r vs %r" % (got_path, want_path))
        check_pages("fresh", d)
        check("fresh: torva.ini untouched",
              read(os.path.join(d, "torva.ini")) == read(os.path.join(SAMPLE, "torva.ini")))
        check("fresh: note about the missing frameset", b"report.htm" in p.stderr)

        # Again, with the frameset in place: the same pages (the insert
        # number starts from torva.ini again) and nothing on stderr.
        shutil.copy(os.path.join(HERE, "..", "..", "data", "reports", "report.htm"),
                    os.path.join(d, "reports"))
        p = run(cli, d, "sample.tvs")
        check("again: exit 0", p.returncode == 0, p.stderr.decode(errors="replace"))
        check("again: quiet", p.stderr == b"", p.stderr.decode(errors="replace"))
        check_pages("again", d)
    finally:
        shutil.rmtree(d, ignore_errors=True)

    # A project that isn't there, or is a directory: exit 2, nothing written.
    d = scratch("missing")
    try:
        for name in ("nothere.tvs", "."):
            p = run(cli, d, name)
            check("project %s: exit 2" % name, p.returncode == 2, str(p.returncode))
            check("project %s: says so" % name,
                  b"cannot read project file" in p.stderr, p.stderr.decode(errors="replace"))
            check("project %s: no pages" % name, not os.path.exists(os.path.join(d, "reports")))
    finally:
        shutil.rmtree(d, ignore_errors=True)

    # reports is a plain file: the summary can't be created, the error box
    # text goes to stderr, exit 2.
    d = scratch("blocked")
    try:
        with open(os.path.join(d, "reports"), "wb") as f:
            f.write(b"not a directory")
        p = run(cli, d, "sample.tvs")
        check("blocked: exit 2", p.returncode == 2, str(p.returncode))
        check("blocked: error box on stderr",
              b"Error: Unable to open file 'results.htm'" in p.stderr,
              p.stderr.decode(errors="replace"))
        check("blocked: nothing printed on stdout", p.stdout == b"", p.stdout.decode())
    finally:
        shutil.rmtree(d, ignore_errors=True)

    # Wrong use: usage on stderr, exit 2.
    p = subprocess.run([cli, "report"], capture_output=True, timeout=60)
    check("no argument: exit 2", p.returncode == 2)
    check("no argument: usage", b"usage: torvane-cli report PROJECT" in p.stderr)

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
