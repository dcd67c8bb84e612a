#!/usr/bin/env python3
"""torvane-cli parse on saved pages: stdout and stderr byte for byte, and the
exit status for bad input. Usage: parse_test.py PATH-TO-torvane-cli"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PAGES = os.path.join(HERE, "pages")
EXPECTED = os.path.join(PAGES, "expected")

# name of the expected files, arguments (page names relative to PAGES)
CASES = [
    ("type2", ["--type", "2", "--exact", "0", "--term", "readme",
               "type2-first.htm", "type2-second.htm"]),
    ("type7", ["--type", "7", "--term", "readme.zip", "type7.htm"]),
]


def run(cli, args):
    return subprocess.run([cli, "parse"] + args, cwd=PAGES, capture_output=True, timeout=60)


def read(name):
    with open(os.path.join(EXPECTED, name), "rb") as f:
        return f.read()


def main():
    cli = os.path.abspath(sys.argv[1])
    failures = []

    for name, args in CASES:
        r = run(cli, args)
        if r.returncode != 0:
            failures.append(f"{name}: exit {r.returncode}, stderr {r.stderr!r}")
            continue
        for stream, got in (("out", r.stdout), ("err", r.stderr)):
            want = read(f"{name}.{stream}")
            if got != want:
                failures.append(f"{name}: std{stream} differs\n  want {want!r}\n  got  {got!r}")

    bad = [
        ("missing file", ["--term", "x", "type7.htm", "no-such-page.htm"], b"cannot read"),
        ("no term", ["type7.htm"], b"--term"),
        ("bad exact", ["--exact", "2", "--term", "x", "type7.htm"], b"--exact"),
        ("bad type", ["--type", "seven", "--term", "x", "type7.htm"], b"--type"),
        ("no file", ["--term", "x"], b"no FILE"),
    ]
    for label, args, needle in bad:
        r = run(cli, args)
        if r.returncode != 2 or needle not in r.stderr or r.stdout:
            failures.append(f"{label}: exit {r.returncode}, stdout {r.stdout!r}, "
                            f"stderr {r.stderr!r}")

    for f in failures:
        print("FAIL", f)
    print(f"{len(CASES) + len(bad) - len(failures)}/{len(CASES) + len(bad)} parse checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
