#!/usr/bin/env python3
"""Torvane's window under Wine with the demo engines (what scripts/run does
after the build).

Usage: run_window.py --exe torvane.exe --driver gui_driver.exe
                     --browser fake_browser.exe --state DIR
                     [--headless] [--query Q] [--screenshot OUT.png]

The working directory DIR/work (DIR/headless-work with --headless, new each
time) holds the demo engines.dat, torva.ini, search.idx, soft.dat, chelp.htm
and reports/. The demo engine server runs on 127.0.0.1 while the window is
open.

On the user's display the window stays until the user closes it; with
--query the Hunt is started in it first. With --headless everything runs on
a private X display: with --query a whole Hunt runs in the window, the rows
of its results list are printed as the window shows them
(name<TAB>size<TAB>URL, one a line, in list order), --screenshot saves the
main window after the Hunt, and the program is ended through its own Quit
command.
"""

import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guilib as g  # noqa: E402


def say(text):
    print("run: %s" % text, file=sys.stderr, flush=True)


def prepare_workdir(state, headless, fake_browser):
    work = os.path.join(state, "headless-work" if headless else "work")
    if headless:
        shutil.rmtree(work, True)
    os.makedirs(os.path.join(work, "reports"), exist_ok=True)
    for name in ("search.idx", "soft.dat", "chelp.htm"):
        shutil.copy(os.path.join(g.DATA, name), work)
    for name in os.listdir(os.path.join(g.DATA, "reports")):
        shutil.copy(os.path.join(g.DATA, "reports", name), os.path.join(work, "reports"))
    if not os.path.exists(os.path.join(work, "torva.ini")):
        settings = {"packcount": 20, "timeout": 2000, "exact": 0, "files": 50}
        # Nobody sees a browser on a private display: the report's address
        # is only recorded (browser.log).
        if headless:
            settings["browser"] = g.windows_path(fake_browser)
        g.write_ini(work, settings)
    return work


def start_server(session, work):
    """The demo server on the port data/engines.dat names, else on any free
    port with an engines.dat that points there."""
    shutil.copy(os.path.join(g.DATA, "engines.dat"), work)
    try:
        return session.start_server(work, port=8642, write_engines=False, exit_after=None)
    except g.Failure:
        return session.start_server(work, exit_after=None)


def hunt(session, main, query):
    """A whole Hunt in the window for every available engine."""
    session.click(main, g.IDC_SELECT_ALL)
    g.until(lambda: "/" in g.control(session.dump(main), g.IDC_ENGINE_COUNT)["text"]
            and g.control(session.dump(main), g.IDC_FIND)["enabled"], "engines selected", 20)
    session.type(main, g.IDC_QUERY, query)
    session.click(main, g.IDC_FIND)

    def over():
        box = session.find_window("Message")
        if box:  # the no-hits message ends a Hunt without hits
            say(" ".join(c["text"] for c in box["controls"] if c["class"] == "Static"
                         and c["text"]))
            session.click(box["hwnd"], g.IDOK)
            session.wait_gone(box["hwnd"])
        w = session.dump(main)
        idle = g.control(w, g.IDC_FIND)["text"] == "Find" and g.control(w, g.IDC_QUERY)["enabled"]
        # Idle again after the engines have been asked: the Hunt is over.
        return w if idle and session.requests() else None

    return g.until(over, "the Hunt to end", 300, step=0.2)


def main():
    ap = argparse.ArgumentParser()
    for name in ("exe", "driver", "browser", "state"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--headless", action="store_true")
    ap.add_argument("--query")
    ap.add_argument("--screenshot")
    args = ap.parse_args()

    session = g.Session(args.state, os.path.abspath(args.exe), os.path.abspath(args.driver),
                        headless=args.headless)
    try:
        session.open()
        work = prepare_workdir(os.path.abspath(args.state), args.headless,
                               os.path.abspath(args.browser))
        port = start_server(session, work)
        say("demo engine server on 127.0.0.1:%d" % port)
        say("working directory %s" % work)
        session.start_app(work)
        window = session.wait_window("Torvane", limit=60)
        main_window = window["hwnd"]
        if args.query:
            say("hunting for %r with every available demo engine" % args.query)
            window = hunt(session, main_window, args.query)
            if args.headless:
                for cells in g.rows(window, g.IDC_RESULTS_LIST):
                    print("\t".join(cells))
                sys.stdout.flush()
        if args.screenshot:
            session.screenshot(args.screenshot, session.dump(main_window)["rect"])
            say("screenshot of the main window: %s" % args.screenshot)
        if args.headless:
            log = os.path.join(work, "browser.log")
            if os.path.exists(log):
                with open(log) as f:
                    for line in f.read().splitlines():
                        say("the browser was handed %s" % line)
            session.command(main_window, g.IDM_QUIT)
            session.wait_app_exit(60)
        else:
            say("the window is open; close it (File, Quit) to end")
            session.app.wait()
        return 0
    except g.Failure as e:
        say("failed: %s" % e)
        return 1
    except KeyboardInterrupt:
        return 130
    finally:
        session.close()


if __name__ == "__main__":
    sys.exit(main())
