#!/usr/bin/env python3
"""Takes screenshots of the sample report (the frameset with the menu and
the intro, and the summary) with scripts/report-screenshot and checks that
each is a real picture of the page, not an empty or blank image.

usage: report_screenshot_test.py PATH-TO-TORVANE-CLI OUTDIR
Exit 77 (skipped) when Chromium is not installed.
"""
import os
import struct
import subprocess
import sys
import zlib

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "report-screenshot")
SKIPPED = 77


def png_problem(data):
    """None when data is a 1200x800 PNG with varied content, else why not."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return "not a PNG"
    if struct.unpack(">II", data[16:24]) != (1200, 800):
        return "size %dx%d" % struct.unpack(">II", data[16:24])
    idat, at = b"", 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        idat += data[at + 8:at + 8 + length] if kind == b"IDAT" else b""
        at += 12 + length
    # A blank page compresses to almost nothing and has a handful of byte
    # values; text, tables and images give many.
    values = len(set(zlib.decompress(idat)))
    if len(data) < 10000 or values < 64:
        return "looks blank (%d bytes, %d distinct values)" % (len(data), values)
    return None


def main(cli, outdir):
    os.makedirs(outdir, exist_ok=True)
    failures = []
    for page, name in (("report.htm", "report-frameset.png"), ("results.htm", "report-summary.png")):
        out = os.path.join(outdir, name)
        p = subprocess.run(["bash", SCRIPT, "--cli", cli, "--page", page, out],
                           capture_output=True, timeout=180)
        if p.returncode == SKIPPED:
            print(p.stderr.decode(errors="replace").strip())
            return SKIPPED
        problem = ("exit %d: %s" % (p.returncode, p.stderr.decode(errors="replace").strip())
                   if p.returncode else "no file" if not os.path.exists(out)
                   else png_problem(open(out, "rb").read()))
        if problem:
            failures.append("%s: %s" % (out, problem))
        else:
            print("screenshot of %s: %s" % (page, out))
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])))
