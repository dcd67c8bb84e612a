"""Running torvane.exe under Wine and driving it from outside.

Shared by the GUI tests (gui_test.py) and scripts/run: an X display (the
user's, or a private Xvfb), a Wine prefix of its own with one wineserver,
the demo engine server on loopback, a working directory laid out as a new
user's, the program itself, and gui_driver.exe, a second Win32 program that
reads and works the program's windows and prints what it sees as JSON.
Everything started here is stopped by close(), the wineserver included.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, "data")
WINE_BIN = "/usr/lib/wine"

# Control and command ids of the program (src/platform/ids.h).
IDC_QUERY = 1014
IDC_MAX_FILES = 1058
IDC_EXACT_MATCH = 1057
IDC_ENGINE_LIST = 1273
IDC_FIND = 1008
IDC_CANCEL = 130
IDC_VIEW = 1071
IDC_SELECT_ALL = 1087
IDC_CLEAR = 1164
IDC_DEFAULT = 1165
IDC_ENGINE_COUNT = 1321
IDC_LEFT_TAB = 1269
IDC_RIGHT_TAB = 1280
IDC_RESULTS_LIST = 1272
CATALOGUE_CONTROLS = (1312, 1313, 1089, 1314, 1171, 1174, 1172, 1009)
IDM_QUIT = 1003
IDM_STATUS = 120
IDM_PREFERENCES = 108
IDM_ENGINE_POPUP = 156
IDC_STATUS_LINE_FIRST = 1065
IDC_FILES_FOUND = 1157
IDC_DIALOG_OK = 1158
IDC_PREF_BROWSER = 1005
IDC_PREF_CONNECTIONS = 1037
IDC_PREF_PROXY = 1058
IDC_PREF_PORT = 1090
IDC_PREF_TIMEOUT = 1155
IDC_PREF_CANCEL = 1016
IDOK = 1
IDC_SOFT_VERSION = 1089
IDC_SOFT_SIZE = 1314
IDC_HOME = 1171
IDC_GET_IT = 1174
IDC_INFO = 1172
IDM_HIT_DOWNLOAD = 182
IDM_HIT_DELETE = 183
IDM_HIT_COPY = 184
IDM_HIT_VIEW = 186
IDM_SOFT_VIEW = 189
IDM_SOFT_DOWNLOAD = 190
IDM_SOFT_COPY = 191
IDM_SOFT_HOME = 187
IDC_DETAIL_NAME = 1056
IDC_DETAIL_SIZE = 1058
IDC_DETAIL_URL = 1014
IDC_DETAIL_DELETE = 1009
IDC_INFO_TITLE = 1056
IDC_INFO_DOWNLOAD = 1305
IDC_INFO_SIZE = 1058
IDC_INFO_HOME = 1306
IDC_INFO_REVIEW = 1016
IDC_INFO_OPEN_REVIEW = 1172
MAX_SLOTS = 20

DIALOG = "#32770"
POPUP_MENU = "#32768"


class Failure(AssertionError):
    pass


def until(probe, what, limit=30.0, step=0.05):
    """Calls probe until it returns something true; that value, or Failure
    naming what was awaited and the last value seen. The limit only bounds
    the wait: nothing here measures how fast the program is."""
    deadline = time.monotonic() + limit
    last = None
    while True:
        last = probe()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise Failure("waited %gs for %s; last seen: %r" % (limit, what, last))
        time.sleep(step)


def windows_path(path):
    """The Z: drive path under which Wine programs see a Linux path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def control(window, cid):
    for c in window["controls"]:
        if c["id"] == cid:
            return c
    raise Failure("window %r has no control %d" % (window.get("title"), cid))


def rows(window, cid):
    return [r["cells"] for r in control(window, cid)["rows"]]


class Session:
    """A display, a Wine prefix with its own wineserver, and what runs in them."""

    def __init__(self, state_dir, exe, driver, headless=True, log=None):
        self.state_dir = os.path.abspath(state_dir)
        self.exe = exe
        self.driver_exe = driver
        self.headless = headless
        self.log = log or sys.stderr
        self.xvfb = None
        self.server = None
        self.app = None
        self.prefix = os.path.join(self.state_dir, "wineprefix")
        self.env = None

    # ---- set-up and tear-down ------------------------------------------------

    def open(self):
        os.makedirs(self.state_dir, exist_ok=True)
        env = dict(os.environ)
        env["PATH"] = WINE_BIN + os.pathsep + env.get("PATH", "")
        if self.headless:
            env["DISPLAY"] = self._start_xvfb()
        elif not env.get("DISPLAY"):
            raise Failure("no X display")
        env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEARCH="win64",
                   WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe=d")
        self.env = env
        # The project's own Wine set-up: a prefix on first use (virtual
        # desktop, fonts), then one kept-alive wineserver with its services.
        subprocess.run(["bash", "-c", '. "$0/scripts/wine-env" "$1"', ROOT, self.state_dir],
                       env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=True)
        return self

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as r:
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = r.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            raise Failure("Xvfb did not start")
        return ":" + number.decode().strip()

    def close(self):
        """Stops everything started here; returns the pids of Wine processes
        of this prefix that were still alive afterwards (none expected)."""
        left = []
        try:
            if self.app and self.app.poll() is None:
                self.app.kill()
                self.app.wait()
            self.stop_server()
            if self.env:
                subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=30)
                deadline = time.monotonic() + 10
                while True:
                    left = self.prefix_processes()
                    if not left or time.monotonic() > deadline:
                        break
                    time.sleep(0.1)
                for pid in left:
                    try:
                        os.kill(pid, 9)
                    except OSError:
                        pass
        finally:
            if self.xvfb:
                self.xvfb.terminate()
                try:
                    self.xvfb.wait(10)
                except subprocess.TimeoutExpired:
                    self.xvfb.kill()
                    self.xvfb.wait()
                self.xvfb = None
        return left

    def prefix_processes(self):
        """Processes whose environment names this Wine prefix."""
        marker = ("WINEPREFIX=" + self.prefix).encode() + b"\0"
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            try:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if marker in f.read() + b"\0":
                        found.append(int(entry))
            except OSError:
                pass
        return found

    # ---- demo engine server ----------------------------------------------------

    def start_server(self, workdir, *extra, port=0, write_engines=True, exit_after=600):
        """The demo engines on loopback; with write_engines, an engines.dat
        in workdir for the port the server bound. Returns that port."""
        self.server_log = os.path.join(workdir, "requests.log")
        engines = ["--write-engines", os.path.join(workdir, "engines.dat")] if write_engines else []
        self.server = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tools", "demo_server.py"), "--port", str(port),
             "--index", os.path.join(DATA, "ftp-index.tsv"),
             "--insert-file", os.path.join(DATA, "search.idx"),
             "--log", self.server_log] + engines + list(extra)
            + (["--exit-after", str(exit_after)] if exit_after else []),
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        words = self.server.stdout.readline().split()
        if not words or words[0] != "listening":
            self.stop_server()
            raise Failure("the demo engine server did not start on port %d" % port)
        return int(words[1])

    def stop_server(self):
        if self.server:
            self.server.kill()
            self.server.wait()
            self.server.stdout.close()
            self.server = None

    def requests(self):
        sys.path.insert(0, os.path.join(ROOT, "tools"))
        import demo_server  # noqa: E402
        if not os.path.exists(self.server_log):
            return []
        return demo_server.read_request_log(self.server_log)

    # ---- the program -----------------------------------------------------------------

    def start_app(self, workdir):
        out = open(os.path.join(workdir, "torvane.out"), "wb")
        self.app = subprocess.Popen(["wine64", self.exe], cwd=workdir, env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        out.close()
        return self.app

    def wait_app_exit(self, limit=30):
        try:
            return self.app.wait(limit)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %gs" % limit)

    def wine(self, args, cwd, limit=120):
        return subprocess.run(["wine64"] + list(args), cwd=cwd, env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=limit)

    # ---- the driver --------------------------------------------------------------------

    def drive(self, *args, check=True, limit=60):
        started = time.monotonic()
        # The driver names every failure of its own on stderr. A failure
        # without a word is Wine's: now and then, on a loaded machine, it
        # ends a new process with status 1 before the program has run, and
        # then nothing was done, so the call is made again.
        for _ in range(3):
            proc = subprocess.run(["wine64", self.driver_exe] + [str(a) for a in args],
                                  env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=limit)
            if proc.returncode != 1 or proc.stdout or proc.stderr or not check:
                break
            print("gui_driver %s: ended with 1 without a word; once more"
                  % " ".join(map(str, args))[:60], file=self.log)
            time.sleep(0.2)
        out = proc.stdout.decode("latin-1")
        if os.environ.get("TORVANE_GUI_TRACE"):
            print("%.2fs gui_driver %s -> %d" % (time.monotonic() - started,
                                                 " ".join(map(str, args))[:60], proc.returncode),
                  file=self.log)
        if check and proc.returncode != 0:
            raise Failure("gui_driver %s: exit %d %s" % (" ".join(map(str, args)),
                                                         proc.returncode,
                                                         proc.stderr.decode("latin-1")))
        return proc.returncode, out

    def wait_window(self, title_prefix, cls=DIALOG, limit=30):
        rc, out = self.drive("wait", cls, title_prefix, int(limit * 1000), check=False,
                             limit=limit + 30)
        if rc != 0:
            raise Failure("no %s window titled %r appeared within %gs" % (cls, title_prefix,
                                                                         limit))
        return json.loads(out)

    def find_window(self, title_prefix, cls=DIALOG):
        rc, out = self.drive("wait", cls, title_prefix, 0, check=False)
        return json.loads(out) if rc == 0 else None

    def wait_gone(self, hwnd, limit=30):
        rc, _ = self.drive("gone", hwnd, int(limit * 1000), check=False, limit=limit + 30)
        if rc != 0:
            raise Failure("window %s still there after %gs" % (hwnd, limit))

    def dump(self, hwnd):
        return json.loads(self.drive("dump", hwnd)[1])

    def type(self, hwnd, cid, text):
        self.drive("type", hwnd, cid, text)

    def click(self, hwnd, cid):
        self.drive("click", hwnd, cid)

    def command(self, hwnd, cid):
        self.drive("command", hwnd, cid)

    def menu_resource(self, menu_id):
        return json.loads(self.drive("menu", windows_path(self.exe), menu_id)[1])

    # ---- the X side: pointer, keyboard, screen -------------------------------------------

    def xdotool(self, *args):
        if os.environ.get("TORVANE_GUI_TRACE"):
            print("xdotool %s" % " ".join(map(str, args)), file=self.log)
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=30)

    def click_at(self, x, y, button=1):
        # The pointer gets there before the button goes down.
        self.xdotool("mousemove", x, y, "sleep", "0.1", "click", button)

    def key(self, *names):
        self.xdotool("key", *names)

    def screenshot(self, path, rect=None):
        """The screen, or the part rect = [left, top, right, bottom] of it."""
        args = ["import", "-window", "root"]
        if rect:
            left, top, right, bottom = rect
            args += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        subprocess.run(args + [path], env=self.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def pixels(self, rect):
        """The screen's pixels in rect as rows of (r, g, b)."""
        left, top, right, bottom = rect
        width, height = right - left, bottom - top
        proc = subprocess.run(
            ["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left, top),
             "+repage", "-depth", "8", "rgb:-"],
            env=self.env, capture_output=True, timeout=60, check=True)
        data = proc.stdout
        return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]


def make_workdir(parent, engines=True, ini=None):
    """A working directory as a new user's would look: the demo engines,
    search.idx, soft.dat, chelp.htm, reports/ with its images and page."""
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix="run-", dir=parent)
    os.mkdir(os.path.join(work, "reports"))
    names = ["search.idx", "soft.dat", "chelp.htm"] + (["engines.dat"] if engines else [])
    for name in names:
        shutil.copy(os.path.join(DATA, name), work)
    for name in os.listdir(os.path.join(DATA, "reports")):
        shutil.copy(os.path.join(DATA, "reports", name), os.path.join(work, "reports"))
    if ini is not None:
        write_ini(work, ini)
    return work


def write_ini(work, values):
    with open(os.path.join(work, "torva.ini"), "w", newline="\n") as f:
        for key, value in values.items():
            f.write("%s=%s\n" % (key, value))


def read_ini(work):
    values = {}
    with open(os.path.join(work, "torva.ini"), "rb") as f:
        for line in f.read().decode("latin-1").splitlines():
            key, sep, value = line.partition("=")
            if sep:
                values[key] = value
    return values
