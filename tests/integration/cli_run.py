"""What the command-line Hunt tests share: the tool's command and what one
run of `torvane-cli hunt` left behind.

The tool prints the status texts on stderr ("[slot] text"), the finished jobs
("[slot] job id=... status=0x... request=0x... hits=N term=T") and the hits
on stdout, one a line, tab-separated.
"""

import argparse
import os
import re
import shlex
import socket
import sys
import unittest

CLI = []  # the command that runs torvane-cli (emulator first, if any)

JOB_RE = re.compile(r"^\[(\d+)\] job id=(-?\d+) status=0x([0-9a-f]+) request=0x([0-9a-f]+) "
                    r"hits=(-?\d+) term=(.*)$")
STATUS_RE = re.compile(r"^\[(\d+)\] (.*)$")


def closed_port():
    """A loopback port that nothing listens on."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Run:
    """What one run of the tool left behind."""

    def __init__(self, workdir, rc, out, err):
        self.workdir, self.rc, self.out, self.err = workdir, rc, out, err
        self.lines = err.splitlines()
        self.jobs = []      # dicts in the order the jobs ended
        self.status = {}    # slot -> list of its status texts in order
        for line in self.lines:
            m = JOB_RE.match(line)
            if m:
                self.jobs.append({"slot": int(m.group(1)), "id": int(m.group(2)),
                                  "status": int(m.group(3), 16),
                                  "request": int(m.group(4), 16),
                                  "hits": int(m.group(5)), "term": m.group(6)})
                continue
            m = STATUS_RE.match(line)
            if m:
                self.status.setdefault(int(m.group(1)), []).append(m.group(2))

    def hits(self):
        return [line.split("\t") for line in self.out.splitlines() if "\t" in line]

    def job(self, engine_id):
        """The engine's one job (a failure when it ended more than once)."""
        found = [j for j in self.jobs if j["id"] == engine_id]
        if len(found) != 1:
            raise AssertionError("engine %d ended %d times:\n%s" % (engine_id, len(found), self.err))
        return found[0]

    def last_job(self, engine_id):
        found = [j for j in self.jobs if j["id"] == engine_id]
        if not found:
            raise AssertionError("engine %d never ended:\n%s" % (engine_id, self.err))
        return found[-1]

    def slot_texts(self, engine_id):
        """Status texts of the slot that ran the engine's last job."""
        return self.status.get(self.last_job(engine_id)["slot"], [])

    def page(self, engine_id):
        with open(os.path.join(self.workdir, "reports", "%d.htm" % engine_id), "rb") as f:
            return f.read().decode("latin-1")


def main():
    """Runs the calling module's tests with --cli PATH [--emulator CMD]."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--emulator", default="")
    args, rest = ap.parse_known_args()
    CLI[:] = shlex.split(args.emulator.replace(";", " ")) + [args.cli]
    unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)
