#!/usr/bin/env python3
"""Torvane's window under Wine with the demo engines (what scripts/run does
after the build).

Usage: run_window.py --exe torvane.exe --driver gui_driver.exe
                     --browser fake_browser.exe --state DIR
                     [--headless] [--query Q] [--script FILE] [--screenshot OUT.png]

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

--script FILE plays the user's steps FILE lists, one a line, after the
window is up (and after the --query Hunt); blank lines and "#" comments are
skipped:
    engines all | engines N,N,...   tick every available engine, or the rows N
    query TEXT                      type TEXT into the query field
    find                            press Find and wait for the Hunt to end
    tab NAME                        click the right-hand tab NAME ("Appz", ...)
    select N,N,...                  click rows N of the right-hand list (Ctrl
                                    held from the second on)
    double N                        double-click row N of the right-hand list
    menu ID                         choose the menu command ID (a number, or a
                                    name: open save saveas delete version
                                    status preferences report quit)
    popup ID                        choose command ID from the right-hand list's
                                    popup menu (download copy view delete home)
    open FILE | saveas FILE         File > Open / Save As with FILE typed into
                                    the file dialog (relative to the working
                                    directory)
    answer TITLE BUTTON             press BUTTON (ok yes no cancel, or an id)
                                    in the window titled TITLE..., waiting for it
    wait TITLE                      wait for a window titled TITLE...
    click TITLE ID                  press button ID of the window titled TITLE...
    shot FILE [TITLE]               screenshot of the main window (or of the
                                    window titled TITLE...) into FILE
    rows                            print the right-hand list's rows
    fields TITLE                    print the texts of a window's controls
    sleep SECONDS
Each step is echoed on stderr; a step that fails stops the script with a
message naming its line.
"""

import argparse
import os
import shutil
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "gui"))
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


def point_at_demo_vendor(work, port):
    """The demo server is the program's proxy: the vendor's address (a
    torvane.example host, which no name server knows) reaches it too."""
    settings = g.read_ini(work)
    settings.update({"proxy": "127.0.0.1", "port": port})
    g.write_ini(work, settings)


# Boxes the demo vendor's version index opens at the first Hunt.
VENDOR_BOXES = ("Newsflash from Kite HQ", "Message from Kite HQ")


def hunt_started(session, main, headless=True):
    """Presses Find and waits for the Hunt to end; a no-hits message is
    read out and closed, and so are the vendor's boxes when nobody watches."""
    asked_before = len(session.requests())
    session.click(main, g.IDC_FIND)

    def over():
        for title in ("Message",) + (VENDOR_BOXES if headless else ()):
            box = session.find_window(title)
            if not box:  # the no-hits message ends a Hunt without hits
                continue
            say(("%s: " % title if title != "Message" else "")
                + " ".join(c["text"] for c in box["controls"] if c["class"] == "Static"
                           and c["text"]))
            session.click(box["hwnd"], g.IDOK)
            session.wait_gone(box["hwnd"])
        w = session.dump(main)
        idle = g.control(w, g.IDC_FIND)["text"] == "Find" and g.control(w, g.IDC_QUERY)["enabled"]
        # Idle again after the engines have been asked: the Hunt is over.
        return w if idle and len(session.requests()) > asked_before else None

    window = g.until(over, "the Hunt to end", 300, step=0.2)
    # The no-hits message opens just after the controls are given back.
    box = session.find_window("Message")
    if not box:
        time.sleep(1.0)
        box = session.find_window("Message")
    if box:
        say(" ".join(c["text"] for c in box["controls"] if c["class"] == "Static" and c["text"]))
        session.click(box["hwnd"], g.IDOK)
        session.wait_gone(box["hwnd"])
    return window


def hunt(session, main, query, headless=True):
    """A whole Hunt in the window for every available engine."""
    session.click(main, g.IDC_SELECT_ALL)
    g.until(lambda: "/" in g.control(session.dump(main), g.IDC_ENGINE_COUNT)["text"]
            and g.control(session.dump(main), g.IDC_FIND)["enabled"], "engines selected", 20)
    session.type(main, g.IDC_QUERY, query)
    return hunt_started(session, main, headless)


MENU = {"open": 173, "save": 174, "saveas": 175, "delete": 176, "version": 180,
        "status": g.IDM_STATUS, "preferences": g.IDM_PREFERENCES, "report": g.IDC_VIEW,
        "quit": g.IDM_QUIT}
POPUP = {"download": (182, 190), "delete": (183, None), "copy": (184, 191),
         "view": (186, 189), "home": (None, 187)}
BUTTONS = {"ok": 1, "cancel": 2, "yes": 6, "no": 7}
TABS = ["Search Results", "Brightel", "Appz", "Net", "Gamez"]
FILE_NAME_FIELD = 1148  # the file name box of the system's file dialogs


def centre(ctl, rect):
    x0, y0 = ctl["client_origin"]
    return x0 + (rect[0] + rect[2]) // 2, y0 + (rect[1] + rect[3]) // 2


def numbers(text):
    return [int(n) for n in text.replace(" ", "").split(",") if n]


class Script:
    def __init__(self, session, main, work, headless=True):
        self.session, self.main, self.work = session, main, work
        self.headless = headless

    def look(self):
        return self.session.dump(self.main)

    def right_list(self):
        return g.control(self.look(), g.IDC_RESULTS_LIST)

    def row_point(self, row):
        lst = self.right_list()
        if not 0 <= row < len(lst["rows"]):
            raise g.Failure("the list has %d rows, no row %d" % (len(lst["rows"]), row))
        # In the first column: a row is as wide as all its columns, often
        # wider than the window, so its middle may lie outside the list.
        x, y = centre(lst, lst["rows"][row]["rect"])
        return lst["client_origin"][0] + lst["rows"][row]["rect"][0] + 20, y

    def window(self, title):
        return self.session.wait_window(title)

    def file_dialog(self, command, title, name):
        self.session.command(self.main, command)
        dialog = self.window(title)
        path = name if os.path.isabs(name) else os.path.join(self.work, name)
        self.session.type(dialog["hwnd"], FILE_NAME_FIELD, g.windows_path(path))
        self.session.click(dialog["hwnd"], g.IDOK)
        self.session.wait_gone(dialog["hwnd"])

    def step(self, verb, rest):
        s = self.session
        if verb == "engines":
            if rest == "all":
                s.click(self.main, g.IDC_SELECT_ALL)
            else:
                s.click(self.main, g.IDC_CLEAR)
                for row in numbers(rest):
                    lst = g.control(self.look(), g.IDC_ENGINE_LIST)
                    s.click_at(*centre(lst, lst["rows"][row]["rect"]))
        elif verb == "query":
            s.type(self.main, g.IDC_QUERY, rest)
        elif verb == "find":
            if not g.control(self.look(), g.IDC_FIND)["enabled"]:
                raise g.Failure("Find is greyed: no query, or no engine ticked")
            hunt_started(s, self.main, self.headless)
        elif verb == "tab":
            page = TABS.index(rest)
            tab = g.control(self.look(), g.IDC_RIGHT_TAB)
            s.click_at(*centre(tab, tab["page_rects"][page]))
            g.until(lambda: g.control(self.look(), g.IDC_RIGHT_TAB)["current"] == page,
                    "the tab %r" % rest, 10)
        elif verb == "select":
            for i, row in enumerate(numbers(rest)):
                x, y = self.row_point(row)
                if i == 0:
                    s.click_at(x, y)
                else:
                    s.xdotool("mousemove", x, y, "sleep", "0.1", "keydown", "ctrl", "click", 1,
                              "keyup", "ctrl")
        elif verb == "double":
            x, y = self.row_point(int(rest))
            s.xdotool("mousemove", x, y, "sleep", "0.1", "click", "--repeat", 2, 1)
        elif verb == "menu":
            s.command(self.main, MENU[rest] if rest in MENU else int(rest))
        elif verb == "popup":
            catalogue = g.control(self.look(), g.IDC_RIGHT_TAB)["current"] != 0
            command = POPUP[rest][1 if catalogue else 0] if rest in POPUP else int(rest)
            if command is None:
                raise g.Failure("no %r in this page's popup menu" % rest)
            s.command(self.main, command)
        elif verb in ("open", "saveas"):
            title = "Open Project" if verb == "open" else "Save Torvane Search As"
            self.file_dialog(MENU[verb], title, rest)
        elif verb == "answer":
            title, _, button = rest.rpartition(" ")
            box = self.window(title)
            s.click(box["hwnd"], BUTTONS.get(button.lower()) or int(button))
            s.wait_gone(box["hwnd"])
        elif verb == "wait":
            self.window(rest)
        elif verb == "click":
            title, _, button = rest.rpartition(" ")
            s.click(self.window(title)["hwnd"], int(button))
        elif verb == "shot":
            path, _, title = rest.partition(" ")
            path = os.path.join(os.environ.get("TORVANE_CALLER_DIR", os.getcwd()), path)
            rect = (self.window(title) if title else self.look())["rect"]
            s.screenshot(path, rect)
            say("screenshot: %s" % path)
        elif verb == "rows":
            for cells in g.rows(self.look(), g.IDC_RESULTS_LIST):
                print("\t".join(cells))
            sys.stdout.flush()
        elif verb == "fields":
            for c in self.window(rest)["controls"]:
                if c["text"]:
                    print("%d\t%s" % (c["id"], c["text"]))
            sys.stdout.flush()
        elif verb == "sleep":
            time.sleep(float(rest))
        else:
            raise g.Failure("unknown step %r" % verb)

    def play(self, path):
        with open(path) as f:
            lines = f.read().splitlines()
        for number, line in enumerate(lines, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            verb, _, rest = line.partition(" ")
            say("step %d: %s" % (number, line))
            try:
                self.step(verb, rest.strip())
            except (g.Failure, KeyError, ValueError, IndexError) as e:
                raise g.Failure("%s line %d (%s): %s" % (path, number, line, e))


def main():
    ap = argparse.ArgumentParser()
    for name in ("exe", "driver", "browser", "state"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--headless", action="store_true")
    ap.add_argument("--query")
    ap.add_argument("--script")
    ap.add_argument("--screenshot")
    args = ap.parse_args()

    session = g.Session(args.state, os.path.abspath(args.exe), os.path.abspath(args.driver),
                        headless=args.headless)
    try:
        session.open()
        work = prepare_workdir(os.path.abspath(args.state), args.headless,
                               os.path.abspath(args.browser))
        port = start_server(session, work)
        say("demo engine server on 127.0.0.1:%d, also the proxy to the demo vendor" % port)
        point_at_demo_vendor(work, port)
        say("working directory %s" % work)
        session.start_app(work)
        window = session.wait_window("Torvane", limit=60)
        main_window = window["hwnd"]
        if args.query:
            say("hunting for %r with every available demo engine" % args.query)
            window = hunt(session, main_window, args.query, args.headless)
            if args.headless:
                for cells in g.rows(window, g.IDC_RESULTS_LIST):
                    print("\t".join(cells))
                sys.stdout.flush()
        if args.script:
            Script(session, main_window, work, args.headless).play(os.path.abspath(args.script))
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
