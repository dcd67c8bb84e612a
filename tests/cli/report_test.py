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
failures = []


def check(what, ok, detail=b""):
    if not ok:
        failures.append("%s: %s" % (what, detail.decode(errors="replace")
                                    if isinstance(detail, bytes) else detail))


def read(*path):
    with open(os.path.join(*path), "rb") as f:
        return f.read()


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return "first difference at byte %d: %r vs %r" % (i, a[i:i + 40], b[i:i + 40])
    return "lengths %d vs %d" % (len(a), len(b))


def run_in_scratch(cli, what, prepare=None, project="sample.tvs"):
    """Runs the command in a fresh copy of the sample (after prepare(dir));
    the caller removes the directory."""
    d = tempfile.mkdtemp(prefix="torvane-cli-report-%s-" % what)
    for name in ("engines.dat", "torva.ini", "search.idx", "sample.tvs"):
        shutil.copy(os.path.join(SAMPLE, name), d)
    if prepare:
        prepare(d)
    return subprocess.run([cli, "report", project], cwd=d, capture_output=True, timeout=60), d


def check_pages(what, d):
    for page in ("results.htm", "intro.htm", "menu.htm"):
        got, want = read(d, "reports", page), read(SAMPLE, "expected", page)
        check("%s: %s" % (what, page), got == want, first_difference(got, want))


def main(cli):
    cli = os.path.abspath(cli)

    # A fresh directory: reports/ is created, the pages match, the path of
    # the frameset is printed, and torva.ini keeps its running number.
    p, d = run_in_scratch(cli, "fresh")
    try:
        check("fresh: exit 0", p.returncode == 0, p.stderr)
        want_path = os.path.join(os.path.realpath(d), "reports", "report.htm")
        got_path = os.path.realpath(p.stdout.decode().strip())
        check("fresh: prints the frameset path", got_path == want_path, (got_path, want_path))
        check_pages("fresh", d)
        check("fresh: torva.ini untouched", read(d, "torva.ini") == read(SAMPLE, "torva.ini"))
        check("fresh: note about the missing frameset", b"report.htm" in p.stderr)
        # Again, with the frameset in place: the same pages (the insert
        # number starts from torva.ini again) and nothing on stderr.
        shutil.copy(os.path.join(HERE, "..", "..", "data", "reports", "report.htm"),
                    os.path.join(d, "reports"))
        p = subprocess.run([cli, "report", "sample.tvs"], cwd=d, capture_output=True, timeout=60)
        check("again: exit 0 and quiet", p.returncode == 0 and p.stderr == b"", p.stderr)
        check_pages("again", d)
    finally:
        shutil.rmtree(d, ignore_errors=True)

    # A project that isn't there or is a directory; reports/ that is a plain
    # file, so the summary can't be created: exit 2, a message, no pages.
    def block(d):
        with open(os.path.join(d, "reports"), "wb") as f:
            f.write(b"not a directory")
    for what, prepare, project, message in (
            ("missing project", None, "nothere.tvs", b"cannot read project file"),
            ("directory project", None, ".", b"cannot read project file"),
            # An endless device is no project file either (it was read as one
            # line without end).
            ("device project", None, os.devnull.replace("null", "zero"),
             b"cannot read project file"),
            ("blocked", block, "sample.tvs", b"Error: Unable to open file 'results.htm'")):
        p, d = run_in_scratch(cli, what.replace(" ", "-"), prepare, project)
        check("%s: exit 2" % what, p.returncode == 2, str(p.returncode))
        check("%s: says so" % what, message in p.stderr, p.stderr)
        check("%s: nothing on stdout" % what, p.stdout == b"", p.stdout)
        check("%s: no pages" % what, not os.path.isdir(os.path.join(d, "reports")))
        shutil.rmtree(d, ignore_errors=True)

    # Wrong use: usage on stderr, exit 2.
    p = subprocess.run([cli, "report"], capture_output=True, timeout=60)
    check("no argument: usage, exit 2",
          p.returncode == 2 and b"usage: torvane-cli report PROJECT" in p.stderr, p.stderr)

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
