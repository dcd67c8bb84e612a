#!/usr/bin/env python3
"""Torvane demo engine server: a local stand-in for the outside FTP search
services and for the vendor's server, on 127.0.0.1 only.

    python3 tools/demo_server.py [--port 8642] [--port2 N] [options]

Once it listens it prints one line on stdout: "listening PORT" (or
"listening PORT PORT2" with --port2).  Port 0 picks a free port.  It stops
by itself when the process that started it ends, or after --exit-after.

Engines
    GET  /tN/search?q=TERM&n=HITS       N = engine type 0..16: a result page in
    POST /tN/search  (body q=TERM&n=HITS)  the layout that type's rule reads
    /tN/                                home page of demo engine type N
    /                                   list of the demo engines
    /file/NAME, /cgi-bin/get.cgi?f=NAME the http pages that types 12 and 13 link to
                                        (404 for a NAME not in the index)
    HEAD of any of these                its answer's head, with Content-Length
  data/engines.dat (and --write-engines) lists engine type N as ID N + 1,
  then a POST engine (ID 18, type 2) and an unavailable one (ID 19).
  Results are the lines of the file index (--index) whose name contains TERM
  (any case), exact-name matches first, at most HITS (default 50).
  Requests in proxy form ("GET http://127.0.0.1:8642/t5/search?... HTTP/1.0")
  are answered here when the host is 127.0.0.1, localhost, or a host of
  torvane.example, ftpsearch-a.example or ftpsearch-b.example (the services
  that type 13 and 12 hits link to); any other host gets "403 Forbidden":
  nothing is forwarded.

Vendor (a torvane.example host, through the proxy form or the Host header)
    a path containing "cgi"        the version index (--news-file replaces it)
    a path ending in "torva.idx"   the report insert file (--insert-file)
    a path ending in "soft.dat"    the Program Database the index announces:
                                   data/soft.dat as version 1.02 with three
                                   programs more (--soft-file replaces it);
                                   sent with its Content-Length
    anything else                  a small page (home, download, history...)
  On 127.0.0.1 itself the same documents are at /cgi-bin/news.cgi, /torva.idx
  and /soft.dat. The built-in index announces program version 3.02 (build 4)
  and that Program Database, carries a newsflash and orders the insert file,
  so that a program whose proxy is this server shows every vendor path. The
  path knobs "cut" (the Content-Length promises more than is sent before the
  close) and "notfound" work here too.

Knobs: a keyword in the search term (as a word of its own, any case), or the
same word as a leading path segment (/slow500/t5/search?...; segments stack):
    redirect-me        302 to the same search as GET on --port2 (own port
                       without it), once
    redirect-loop      302 to itself, for ever (a hop counter in the query)
    redirect-relative  302 with a relative Location and no "http:" anywhere
    notfound           "HTTP/1.0 404 Not Found"
    error500           "HTTP/1.0 500 Internal Server Error"
    slowNNN            answer after NNN milliseconds (slow500)
    hang               read the request, never answer; hold the connection
                       until the client closes it or --hang-seconds pass
    dropme             read the request and close without sending a byte
    huge               a valid page larger than --huge-bytes (600000), with
                       hits at its start and behind the first 500000 bytes
    trickle            send the answer in 200-byte pieces, 20 ms apart
    mixed              the page also holds links that no Hunt takes: one to
                       the engine's home page (no term in its text), an http
                       one with the term (no "ftp:"), an anchor with no
                       href and a "#" one, and its first hit's row again
    cut                (path segment only) half the body of a vendor file,
                       then the close
  A term holding a knob word also gets three made-up hits (TERM, TERM.txt,
  TERM-1.0.tar.gz under ftp://ftp.demo.example/pub/demo/), so that a Hunt
  for it has something to find.

Options
    --port N --port2 N   listeners (default 8642 / none)
    --delay-ms N         wait N ms before every answer
    --index FILE         name<TAB>size<TAB>date<TAB>location (data/ftp-index.tsv);
                         the location is the last field, so a date may hold
                         tabs; read again when the file changes
    --insert-file FILE   the report insert download (data/search.idx)
    --news-file FILE     served as the version index instead of the built-in one
    --soft-file FILE     served as the vendor's soft.dat instead of the built-in one
    --log FILE           append each request's raw bytes, before it is answered:
                         "#REQUEST seq=N port=P len=L\\n" + L bytes + "\\n"
                         (read_request_log() below reads it back)
    --hang-seconds S     limit of "hang" (60)
    --huge-bytes N       size of "huge" answers (600000)
    --write-engines FILE write an engines.dat for the ports actually bound
    --exit-after S       stop after S seconds
    --ftp-port N         also answer FTP control connections on N (0: any free
                         port), announced as "ftp PORT" before "listening ..."

FTP responder (--ftp-port; control connection only, for "torvane-cli check")
    USER anonymous (or ftp), PASS, TYPE A|I, SIZE PATH, MDTM PATH, NOOP, SYST,
    QUIT; anything else is "502", and no data connection is ever offered.
    PATH is the path of an index location, %XX decoded, whatever its host
    (check sends every control connection here with --ftp-server). Three of
    every four index files are there; the fourth (lines 4, 8, 12, ... of
    the index) was "deleted" and gets "550", as does every other path.
"""

import argparse
import datetime
import html
import os
import re
import select
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

DEFAULT_PORT = 8642
HOST = "127.0.0.1"
VENDOR_DOMAIN = "torvane.example"
SYNTHETIC_DIR = "ftp://ftp.demo.example/pub/demo/"
SERVICE_DOMAINS = ("ftpsearch-a.example", "ftpsearch-b.example")
MAX_HEAD = 65536
READ_TIMEOUT = 30.0

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(os.path.dirname(HERE), "data")

KNOB_WORDS = ("redirect-me", "redirect-loop", "redirect-relative", "notfound", "error500",
              "hang", "dropme", "huge", "trickle", "mixed")
KNOB_RE = re.compile(r"(?<![a-z0-9])(redirect-me|redirect-loop|redirect-relative|notfound|"
                     r"error500|hang|dropme|huge|trickle|mixed|slow\d+)(?![a-z0-9])")
SEGMENT_RE = re.compile(r"^(redirect-me|redirect-loop|redirect-relative|notfound|error500|"
                        r"hang|dropme|huge|trickle|mixed|cut|slow\d+)$")

# The demo engines: (type, name). Engine IDs follow the list order from 1;
# after them come one POST engine and one unavailable engine.
ENGINES = [
    (0, "Demo 00 - list, size behind link"),
    (1, "Demo 01 - plain list"),
    (2, "Demo 02 - table"),
    (3, "Demo 03 - plain list"),
    (4, "Demo 04 - size (date)"),
    (5, "Demo 05 - file details page"),
    (6, "Demo 06 - size and date first"),
    (7, "Demo 07 - FILE lines"),
    (8, "Demo 08 - plain list"),
    (9, "Demo 09 - listing"),
    (10, "Demo 10 - table with dash"),
    (11, "Demo 11 - directory listing"),
    (12, "Demo 12 - info pages (B)"),
    (13, "Demo 13 - info pages (A)"),
    (14, "Demo 14 - bold table"),
    (15, "Demo 15 - table"),
    (16, "Demo 16 - list, italic details"),
]
POST_ENGINE = (2, "Demo 17 - POST form")
OFFLINE_ENGINE = (1, "Demo 18 - offline")

# What the demo vendor announces: a newer program and Program Database, a
# newsflash, and the report insert file (UPGRADE= above the program's 0).
CATALOGUE_VERSION = "1.02"
VERSION_INDEX = (
    "Torvane version index (demo server)\n"
    "#NEWS=1,Welcome to Torvane. This newsflash comes from the demo server, which stands in "
    "for Kite HQ: File > Online Version Check shows what it announces.;\n"
    "#VER1=302;Torvane 3.02 is available (demo announcement).;\n"
    "#BUILD=4;http://www.torvane.example/download.htm;\n"
    "#SOFT=%s;http://www.torvane.example/soft.dat;\n"
    "#UPGRADE=1\n" % CATALOGUE_VERSION
)
# The programs the announced Program Database adds to data/soft.dat.
NEW_PROGRAMS = (
    "Vim<1>http://mirrors.kernel.org/debian/pool/main/v/vim/vim_9.0.1378-2_amd64.deb<2>1568 KB"
    "<3>https://www.vim.org/<4>9.0.1378<5>https://packages.debian.org/bookworm/vim<6>1",
    "curl<1>http://mirrors.kernel.org/debian/pool/main/c/curl/curl_7.88.1-10+deb12u5_amd64.deb"
    "<2>309 KB<3>https://curl.se/<4>7.88.1<5>https://packages.debian.org/bookworm/curl<6>2",
    "Frozen Bubble<1>http://mirrors.kernel.org/debian/pool/main/f/frozen-bubble/"
    "frozen-bubble_2.212-12_amd64.deb<2>101 KB<3>http://www.frozen-bubble.org/<4>2.212"
    "<5>https://packages.debian.org/bookworm/frozen-bubble<6>0",
)

FTP_LINE_LIMIT = 4096   # bytes of one command line
FTP_COMMAND_LIMIT = 50  # commands of one control connection

WEEKDAYS = ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def engines_dat(port):
    """The text of an engines.dat whose engines all ask this server."""
    base = "http://%s:%d" % (HOST, port)
    out = ["# Torvane demo engines: every engine asks the local demo server",
           "# (tools/demo_server.py) on %s:%d." % (HOST, port), ""]
    ident = 1
    for etype, name in ENGINES:
        out += ["NAME=" + name,
                "REQ=%s/t%d/search?q=$QUERY&n=$HITS" % (base, etype),
                "HOME=%s/t%d/" % (base, etype),
                "ENGINE=%d" % etype,
                "ID=%d" % ident, ""]
        ident += 1
    etype, name = POST_ENGINE
    out += ["NAME=" + name,
            "REQ=%s/POST /t%d/search $HTTPq=$QUERY&n=$HITS" % (base, etype),
            "HOME=%s/t%d/" % (base, etype),
            "ENGINE=%d" % etype,
            "ID=%d" % ident, ""]
    ident += 1
    etype, name = OFFLINE_ENGINE
    out += ["NAME=" + name,
            "REQ=*%s/t%d/search?q=$QUERY&n=$HITS" % (base, etype),
            "HOME=%s/t%d/" % (base, etype),
            "ENGINE=%d" % etype,
            "ID=%d" % ident, ""]
    return "\n".join(out)


# ---- the file index ----------------------------------------------------------

class Entry:
    __slots__ = ("name", "size", "date", "loc", "lower")

    def __init__(self, name, size, date, loc):
        self.name, self.size, self.date, self.loc = name, size, date, loc
        self.lower = name.lower()


def load_index(path):
    entries = []
    with open(path, "r", encoding="latin-1") as f:
        for line in f:
            parts = line.rstrip("\r\n").split("\t")
            if len(parts) >= 4 and parts[0]:
                entries.append(Entry(parts[0], parts[1], "\t".join(parts[2:-1]), parts[-1]))
    return entries


def search(entries, term, limit):
    t = term.lower()
    if not t:
        return entries[:limit]
    exact = [e for e in entries if e.lower == t]
    rest = [e for e in entries if t in e.lower and e.lower != t]
    return (exact + rest)[:limit]


def synthetic(term, names):
    out = []
    for n in names:
        out.append(Entry(n, "1234", "2026-07-11", SYNTHETIC_DIR + urllib.parse.quote(n)))
    return out


# ---- result pages ----------------------------------------------------------------

def esc(text):
    return html.escape(text, quote=False)


def href(text):
    # Nothing that ends the quoted value or makes the parser drop the link.
    return text.replace('"', "%22").replace("#", "%23")


def long_date(iso):
    # 2026-07-11 -> "Jul 11 2026": type 7 reads a date that starts with a capital.
    m = re.match(r"(\d{4})-(\d\d)-(\d\d)$", iso)
    if not m or not 1 <= int(m.group(2)) <= 12:
        return iso
    return "%s %s %s" % (MONTHS[int(m.group(2)) - 1], m.group(3), m.group(1))


def row(etype, e):
    n, s, d, loc = esc(e.name), esc(e.size), esc(e.date), href(e.loc)
    if etype == 0:
        # The rule reads one text as both size and date.
        return '<a href="%s">%s </a>%s<br>\n' % (loc, n, s)
    if etype == 2:
        return '<tr><td><a href="%s">%s</a></td><td>%s</td><td>%s</td></tr>\n' % (loc, n, s, d)
    if etype == 4:
        # The rule takes the first number behind the anchor tag as the size,
        # and names carry version numbers: so size and date lead the link
        # text, and the name is what follows its last "/".
        path = esc(e.loc.split("://", 1)[-1])
        return '<a href="%s">%s (%s) %s</a><br>\n' % (loc, s, d, path)
    if etype == 5:
        # The rule cuts the page at the first "<href" behind the hit.
        return ('<dt><a href="%s">%s</a>\n<dd>Size: <b>%s</b> Date: <b>%s</b><href>\n'
                % (loc, n, s, d))
    if etype == 6:
        return '<br>%s %s <a href="%s">%s</a>\n' % (s, d, loc, n)
    if etype == 7:
        directory = esc(e.loc.rsplit("/", 1)[0])
        return ('<a href="%s">%s</a> FILE %s\t%s<br>\n<small>%s</small><br>\n'
                % (loc, n, s, esc(long_date(e.date)), directory))
    if etype == 9:
        return '<br>file %s %s <a href="%s">%s</a>\n' % (s, d, loc, n)
    if etype == 10:
        return ('<tr><td><a href="%s">%s</a></td><td>%s</td><td>- %s</td></tr>\n'
                % (loc, n, s, d))
    if etype == 11:
        directory = esc(e.loc.rsplit("/", 1)[0] + "/")
        return '<br><i>%s</i> %s %s <a href="%s">%s</a>\n' % (directory, s, d, loc, n)
    if etype == 12:
        return ('<li><a href="/file/%s">%s</a><td>%s</td>\n'
                % (href(urllib.parse.quote(e.name)), n, s))
    if etype == 13:
        return ('<li><a href="get.cgi?f=%s">%s</a><br>\n'
                % (href(urllib.parse.quote(e.name)), n))
    if etype == 14:
        return ('<tr><td><a href="%s">%s</a></td><td><b>%s<br>%s</b></td></tr>\n'
                % (loc, n, s, d))
    if etype == 15:
        return '<tr><td><a href="%s">%s</a></td><td>%s<br>%s</td></tr>\n' % (loc, n, s, d)
    if etype == 16:
        return '<li><a href="%s">%s</a> <i>%s %s</i><br>\n' % (loc, n, s, d)
    # 1, 3, 8 and any other number: the link alone.
    return '<li><a href="%s">%s</a><br>\n' % (loc, n)


TABLE_TYPES = (2, 10, 14, 15)


def page_head(etype, term, count):
    title = "Demo engine %d" % etype
    out = ("<html><head><title>%s</title></head>\n<body>\n<h2>%s</h2>\n"
           "<p>%d files found for <b>%s</b></p>\n" % (title, title, count, esc(term)))
    return out + ("<table border=1>\n" if etype in TABLE_TYPES else "<p>\n")


def page_tail(etype):
    return ("</table>\n" if etype in TABLE_TYPES else "</p>\n") + "<hr>\n</body></html>\n"


def results_page(etype, term, entries, huge_bytes=0, mixed=False):
    parts = [page_head(etype, term, len(entries))]
    parts += [row(etype, e) for e in entries]
    if mixed:
        parts.append('<a href="/t%d/">Home</a>\n<a href="http://127.0.0.1/file/%s">%s on the web</a>\n'
                     '<a name="%s">%s</a>\n<a href="#top">%s</a>\n'
                     % (etype, href(urllib.parse.quote(term)), esc(term), href(term), esc(term),
                        esc(term)))
        parts += [row(etype, e) for e in entries[:1]]
    if huge_bytes:
        size = sum(len(p) for p in parts)
        pad = ("<p>padding line %07d: this page is long on purpose, "
               "nothing to see here.</p>\n")
        i = 0
        while size < huge_bytes:
            line = pad % i
            parts.append(line)
            size += len(line)
            i += 1
        # One more hit behind the padding, in the answer's second piece.
        parts += [row(etype, e) for e in synthetic(term, [term + "-tail.txt"])]
    parts.append(page_tail(etype))
    return "".join(parts)


def home_page(etype):
    return ("<html><head><title>Demo engine %d</title></head>\n<body>\n"
            "<h2>Demo engine %d</h2>\n<p>A local stand-in for an FTP search service.</p>\n"
            '<form action="/t%d/search" method="get">\n'
            'File name: <input name="q" size=30> Max files: <input name="n" value="50" size=4>\n'
            '<input type="submit" value="Search">\n</form>\n</body></html>\n'
            % (etype, etype, etype))


def root_page():
    rows = "".join('<li><a href="/t%d/">%s</a>\n' % (t, esc(n)) for t, n in ENGINES)
    return ("<html><head><title>Torvane demo engines</title></head>\n<body>\n"
            "<h2>Torvane demo engines</h2>\n<ul>\n%s</ul>\n</body></html>\n" % rows)


def info_page(name, entries):
    found = [e for e in entries if e.name == name]
    body = "".join('<p><a href="%s">%s</a> %s bytes, %s</p>\n'
                   % (href(e.loc), esc(e.name), esc(e.size), esc(e.date)) for e in found)
    return ("<html><head><title>%s</title></head>\n<body>\n<h2>%s</h2>\n%s</body></html>\n"
            % (esc(name), esc(name), body or "<p>Not in the index.</p>\n"))


def upgraded_catalogue(path=os.path.join(DATA, "soft.dat")):
    """The Program Database the built-in index announces: the shipped one as
    CATALOGUE_VERSION with NEW_PROGRAMS at its end (none of them has the
    value 4, whose entries must open the file)."""
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    lines = ["VERSION=" + CATALOGUE_VERSION if line.startswith("VERSION=") else line
             for line in lines]
    return ("\n".join(lines + list(NEW_PROGRAMS)) + "\n").encode("latin-1")


def vendor_page(path):
    return ("<html><head><title>Torvane</title></head>\n<body>\n<h2>Torvane</h2>\n"
            "<p>This is the demo server standing in for the vendor (%s).</p>\n"
            "</body></html>\n" % esc(path))


# ---- requests ------------------------------------------------------------------------

class Request:
    def __init__(self):
        self.raw = b""
        self.method = ""
        self.target = ""
        self.host = ""        # host name asked for (proxy form or Host header), no port
        self.proxy_form = False
        self.path = "/"
        self.query = ""
        self.body = b""
        self.headers = {}


def parse_head(head):
    req = Request()
    lines = head.split(b"\r\n")
    first = lines[0].decode("latin-1").split()
    if len(first) < 2:
        return None
    req.method, req.target = first[0].upper(), first[1]
    for line in lines[1:]:
        key, sep, value = line.decode("latin-1").partition(":")
        if sep:
            req.headers[key.strip().lower()] = value.strip()
    target = req.target
    if target.lower().startswith("http://"):
        req.proxy_form = True
        rest = target[7:]
        slash = rest.find("/")
        hostport = rest if slash < 0 else rest[:slash]
        target = "/" if slash < 0 else rest[slash:]
        req.host = hostport.split(":")[0].lower()
    else:
        req.host = req.headers.get("host", "").split(":")[0].lower()
    req.path, _, req.query = target.partition("?")
    return req


def read_request(sock):
    """Reads one request; returns (Request or None, raw bytes)."""
    sock.settimeout(READ_TIMEOUT)
    data = b""
    try:
        while b"\r\n\r\n" not in data:
            chunk = sock.recv(65536)
            if not chunk:
                return None, data
            data += chunk
            if len(data) > MAX_HEAD:
                return None, data
        end = data.index(b"\r\n\r\n") + 4
        req = parse_head(data[:end])
        if req is None:
            return None, data
        length = 0
        if req.method == "POST":
            try:
                length = max(0, int(req.headers.get("content-length", "0")))
            except ValueError:
                length = 0
            while len(data) < end + length:
                chunk = sock.recv(65536)
                if not chunk:
                    break
                data += chunk
        req.body = data[end:end + length]
        # Take whatever else already arrived (a GET ends with one more line
        # break), so that the log holds the request as sent and the close
        # does not turn into a reset over unread bytes.
        sock.setblocking(False)
        try:
            while True:
                more = sock.recv(65536)
                if not more:
                    break
                data += more
        except (BlockingIOError, InterruptedError):
            pass
        finally:
            sock.settimeout(READ_TIMEOUT)
        req.raw = data
        return req, data
    except (socket.timeout, OSError):
        return None, data


def form_values(req):
    text = req.query
    if req.method == "POST":
        text = req.body.decode("latin-1").strip("\r\n")
    values = urllib.parse.parse_qs(text, keep_blank_values=True, encoding="latin-1")
    term = values.get("q", [""])[0]
    try:
        hits = int(values.get("n", ["50"])[0])
    except ValueError:
        hits = 50
    if hits < 1:
        hits = 50
    try:
        hop = int(values.get("hop", ["0"])[0])
    except ValueError:
        hop = 0
    return term, min(hits, 5000), hop


def term_knobs(term):
    return KNOB_RE.findall(term.lower())


def status_text(code):
    return {200: "200 OK", 302: "302 Found", 403: "403 Forbidden", 404: "404 Not Found",
            500: "500 Internal Server Error"}[code]


def response(code, body, ctype="text/html", extra=""):
    if isinstance(body, str):
        body = body.encode("latin-1", "replace")
    # No Content-Length: the close ends an HTTP/1.0 answer, and digits such
    # as "302" in the first 100 characters would read as a redirect status.
    head = ("HTTP/1.0 %s\r\nServer: TorvaneDemo/1.0\r\n%sContent-Type: %s\r\n\r\n"
            % (status_text(code), extra, ctype))
    return head.encode("latin-1") + body


def simple_page(code, text):
    return response(code, "<html><head><title>%s</title></head>\n<body>\n<h1>%s</h1>\n"
                          "<p>%s</p>\n</body></html>\n"
                    % (status_text(code), status_text(code), esc(text)))


class Action:
    """What to do with one request: the bytes to send and how."""

    def __init__(self, data=b"", delay=0.0, mode="send"):
        self.data, self.delay, self.mode = data, delay, mode


# ---- the FTP responder ----------------------------------------------------------

def ftp_files(entries):
    """Path -> Entry of the files the FTP responder has: the index files
    except every fourth."""
    files = {}
    for i, e in enumerate(entries):
        if e.loc.lower().startswith("ftp://") and i % 4 != 3:
            slash = e.loc.find("/", 6)
            if slash > 0:
                files[urllib.parse.unquote(e.loc[slash:], encoding="latin-1")] = e
    return files


class FtpServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, port, state):
        self.state = state
        self.indexed = None   # the entries that files was made from
        self.files = {}
        self.files_lock = threading.Lock()
        socketserver.TCPServer.__init__(self, (HOST, port), FtpHandler)

    def current_files(self):
        # The index is read again when it changes: the files follow it.
        self.state.refresh_index()
        with self.files_lock:
            if self.indexed is not self.state.entries:
                self.indexed = self.state.entries
                self.files = ftp_files(self.indexed)
            return self.files


class FtpHandler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(READ_TIMEOUT)
        files = self.server.current_files()
        pending = b""
        user = None
        logged_in = False
        try:
            sock.sendall(b"220 Torvane demo FTP responder (control connection only)\r\n")
            for _ in range(FTP_COMMAND_LIMIT):
                while b"\n" not in pending:
                    chunk = sock.recv(4096)
                    if not chunk:
                        return
                    pending += chunk
                    if len(pending) > FTP_LINE_LIMIT:
                        sock.sendall(b"500 Command line too long.\r\n")
                        return
                line, _, pending = pending.partition(b"\n")
                text = line.rstrip(b"\r").decode("latin-1")
                verb, _, arg = text.partition(" ")
                verb = verb.upper()
                if verb == "QUIT":
                    sock.sendall(b"221 Goodbye.\r\n")
                    return
                if verb == "USER":
                    user = arg.lower()
                    reply = ("331 Anonymous login ok, send your e-mail address as password."
                             if user in ("anonymous", "ftp") else "530 Only anonymous logins here.")
                elif verb == "PASS":
                    logged_in = user in ("anonymous", "ftp")
                    reply = "230 Anonymous access granted." if logged_in else "503 Login with USER first."
                elif verb in ("NOOP", "SYST"):
                    reply = "200 NOOP ok." if verb == "NOOP" else "215 UNIX Type: L8"
                elif not logged_in:
                    reply = "530 Please login with USER and PASS."
                elif verb == "TYPE":
                    ok = arg.upper() in ("A", "I", "A N", "L 8")
                    reply = "200 Type set to %s." % arg if ok else "504 Type not supported."
                elif verb in ("SIZE", "MDTM"):
                    e = files.get(arg)
                    if e is None:
                        reply = "550 %s: No such file or directory." % arg
                    elif verb == "SIZE":
                        reply = "213 %s" % e.size
                    elif re.match(r"^\d{4}-\d{2}-\d{2}$", e.date):
                        reply = "213 %s000000" % e.date.replace("-", "")
                    else:
                        reply = "550 %s: No modification time known." % arg
                else:
                    reply = "502 %s not implemented (no data connections here)." % verb
                sock.sendall(reply.encode("latin-1") + b"\r\n")
            sock.sendall(b"421 Too many commands, goodbye.\r\n")
        except OSError:
            pass


# ---- the server ---------------------------------------------------------------------

class DemoServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, port, state):
        self.state = state
        socketserver.TCPServer.__init__(self, (HOST, port), Handler)


class State:
    def __init__(self, args, entries):
        self.args = args
        self.entries = entries
        self.port = 0
        self.port2 = 0
        self.log_lock = threading.Lock()
        self.seq = 0
        self.stopping = threading.Event()
        self.index_lock = threading.Lock()
        self.index_mtime = self.index_stamp()

    def index_stamp(self):
        try:
            st = os.stat(self.args.index)
            return (st.st_mtime_ns, st.st_size)
        except OSError:
            return None

    def refresh_index(self):
        """Reads the index again when it changed, so a new file shows up."""
        with self.index_lock:
            stamp = self.index_stamp()
            if stamp is None or stamp == self.index_mtime:
                return
            try:
                self.entries = load_index(self.args.index)
                self.index_mtime = stamp
            except OSError:
                pass

    def log(self, local_port, raw):
        with self.log_lock:
            self.seq += 1
            if not self.args.log:
                return
            with open(self.args.log, "ab") as f:
                f.write(b"#REQUEST seq=%d port=%d len=%d\n" % (self.seq, local_port, len(raw)))
                f.write(raw)
                f.write(b"\n")

    def read_file(self, path, fallback):
        if path:
            try:
                with open(path, "rb") as f:
                    return f.read()
            except OSError:
                return None
        return fallback.encode("latin-1") if fallback is not None else None

    def plan(self, req):
        """Decides the answer to a request."""
        args = self.args
        delay = args.delay_ms / 1000.0
        host = req.host
        # The two services that types 12 and 13 link to are stood in for here.
        local = host in ("", "127.0.0.1", "localhost") or host.endswith(SERVICE_DOMAINS)
        vendor = host == VENDOR_DOMAIN or host.endswith("." + VENDOR_DOMAIN)
        if req.proxy_form and not (local or vendor):
            return Action(simple_page(403, "This proxy only serves the demo engines."), delay)

        # Knob path segments in front of the real path.
        segs = req.path.split("/")
        path_knobs = []
        while len(segs) > 1 and SEGMENT_RE.match(segs[1].lower()):
            path_knobs.append(segs[1].lower())
            del segs[1]
        path = "/".join(segs) or "/"

        if (vendor or path.startswith("/cgi-bin/news") or path.endswith("torva.idx")
                or path.endswith("soft.dat")):
            if "notfound" in path_knobs:
                return Action(simple_page(404, "The vendor has no such file."), delay)
            if vendor and "cgi" in path or path.startswith("/cgi-bin/news"):
                text = self.read_file(args.news_file, VERSION_INDEX)
                if text is None:
                    return Action(simple_page(500, "version index unreadable"), delay)
                return Action(response(200, text, "text/plain"), delay)
            if path.endswith("torva.idx"):
                text = self.read_file(args.insert_file, None)
                if text is None:
                    return Action(simple_page(404, "no report insert file"), delay)
                return Action(response(200, text, "text/plain"), delay)
            if path.endswith("soft.dat"):
                text = self.read_file(args.soft_file, None) if args.soft_file \
                    else upgraded_catalogue()
                if text is None:
                    return Action(simple_page(404, "no Program Database"), delay)
                # Its length lets the program tell a whole file from a cut one.
                answer = response(200, text, "text/plain",
                                  extra="Content-Length: %d\r\n" % len(text))
                if "cut" in path_knobs:
                    answer = answer[:len(answer) - len(text) // 2]
                return Action(answer, delay)
            return Action(response(200, vendor_page(path)), delay)

        if path == "/" or path == "/index.htm":
            return Action(response(200, root_page()), delay)
        if path.startswith("/file/") or path.startswith("/cgi-bin/get.cgi"):
            if path.startswith("/file/"):
                name = urllib.parse.unquote(path[6:], encoding="latin-1")
            else:
                values = urllib.parse.parse_qs(req.query, encoding="latin-1")
                name = values.get("f", [""])[0]
            found = [e for e in self.entries if e.name == name]
            if not found:
                return Action(response(404, info_page(name, self.entries)), delay)
            modified = ""
            try:
                day = datetime.date(*(int(x) for x in found[0].date.split("-")))
                modified = "Last-Modified: %s, %02d %s %04d 00:00:00 GMT\r\n" % (
                    WEEKDAYS[day.weekday()], day.day, MONTHS[day.month - 1], day.year)
            except (TypeError, ValueError):
                pass  # an index date that is no calendar day: no date sent
            return Action(response(200, info_page(name, self.entries), extra=modified), delay)

        m = re.match(r"^/t(-?\d+)(/.*)?$", path)
        if not m:
            return Action(simple_page(404, "No such page on the demo server."), delay)
        etype = int(m.group(1))
        rest = m.group(2) or "/"
        if rest in ("/", "/index.htm", "/index.html"):
            return Action(response(200, home_page(etype)), delay)

        self.refresh_index()
        term, hits, hop = form_values(req)
        tknobs = term_knobs(term)
        knobs = path_knobs + tknobs
        for k in knobs:
            if k.startswith("slow"):
                delay += int(k[4:]) / 1000.0

        if "redirect-loop" in knobs or ("redirect-me" in knobs and hop < 1):
            port = self.port
            if "redirect-me" in knobs and "redirect-loop" not in knobs and self.port2:
                port = self.port2
            # The target keeps the other path knobs; the hop counter stops
            # redirect-me after one round.
            prefix = "".join("/" + k for k in path_knobs if k != "redirect-me")
            query = urllib.parse.urlencode({"q": term, "n": hits, "hop": hop + 1},
                                           encoding="latin-1")
            location = "http://%s:%d%s%s?%s" % (HOST, port, prefix, path, query)
            return Action(response(302, "<html><body>Moved.</body></html>\n",
                                   extra="Location: %s\r\n" % location), delay)
        if "redirect-relative" in knobs and hop < 1:
            query = urllib.parse.urlencode({"q": term, "n": hits, "hop": hop + 1},
                                           encoding="latin-1")
            return Action(response(302, "<html><body>Moved.</body></html>\n",
                                   extra="Location: %s?%s\r\n" % (path, query)), delay)
        if "notfound" in knobs:
            return Action(simple_page(404, "The search service has no such page."), delay)
        if "error500" in knobs:
            return Action(simple_page(500, "The search service failed."), delay)
        if "hang" in knobs:
            return Action(mode="hang")
        if "dropme" in knobs:
            return Action(delay=delay, mode="drop")

        found = search(self.entries, term, hits)
        if tknobs:
            made_up = synthetic(term, [term, term + ".txt", term + "-1.0.tar.gz"])
            found = made_up + [e for e in found if e.name not in (term,)]
            found = found[:max(hits, len(made_up))]
        page = results_page(etype, term, found,
                            args.huge_bytes if "huge" in knobs else 0, "mixed" in knobs)
        return Action(response(200, page), delay, "trickle" if "trickle" in knobs else "send")


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        state = self.server.state
        sock = self.request
        local_port = sock.getsockname()[1]
        req, raw = read_request(sock)
        if raw:
            state.log(local_port, raw)
        if req is None:
            return
        action = state.plan(req)
        if action.mode == "hang":
            self.hold(state.args.hang_seconds)
            return
        if action.delay > 0:
            time.sleep(action.delay)
        if action.mode == "drop":
            return
        if req.method == "HEAD" and action.mode == "send":
            # The head alone, with the length the body would have had.
            end = action.data.find(b"\r\n\r\n")
            if end >= 0:
                action.data = action.data[:end] + b"\r\nContent-Length: %d\r\n\r\n" % (
                    len(action.data) - end - 4)
        try:
            if action.mode == "trickle":
                for i in range(0, len(action.data), 200):
                    sock.sendall(action.data[i:i + 200])
                    time.sleep(0.02)
            else:
                sock.sendall(action.data)
        except OSError:
            return
        self.close_gently()

    def hold(self, seconds):
        sock = self.request
        end = time.monotonic() + seconds
        while not self.server.state.stopping.is_set():
            left = end - time.monotonic()
            if left <= 0:
                return
            try:
                ready, _, _ = select.select([sock], [], [], min(left, 0.5))
                if ready and not sock.recv(4096):
                    return  # the client gave up
            except OSError:
                return

    def close_gently(self):
        # Half-close and wait for the client to close: closing with unread
        # bytes would reset the connection under data the client still reads.
        sock = self.request
        try:
            sock.shutdown(socket.SHUT_WR)
            sock.settimeout(2.0)
            while sock.recv(4096):
                pass
        except OSError:
            pass


def read_request_log(path):
    """The records of a --log file: [{"seq": n, "port": p, "raw": bytes}, ...]."""
    out = []
    with open(path, "rb") as f:
        data = f.read()
    pos = 0
    while pos < len(data):
        nl = data.index(b"\n", pos)
        m = re.match(rb"#REQUEST seq=(\d+) port=(\d+) len=(\d+)$", data[pos:nl])
        if not m:
            raise ValueError("bad request log record at byte %d" % pos)
        length = int(m.group(3))
        raw = data[nl + 1:nl + 1 + length]
        out.append({"seq": int(m.group(1)), "port": int(m.group(2)), "raw": raw})
        pos = nl + 1 + length + 1
    return out


def watch_parent(state, parent, exit_after):
    start = time.monotonic()
    while True:
        time.sleep(0.25)
        if os.getppid() != parent:
            break
        if exit_after is not None and time.monotonic() - start >= exit_after:
            break
    state.stopping.set()
    sys.stdout.flush()
    os._exit(0)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Torvane demo engine server (127.0.0.1 only).")
    ap.add_argument("--port", type=int, default=DEFAULT_PORT)
    ap.add_argument("--port2", type=int, default=None)
    ap.add_argument("--delay-ms", type=int, default=0)
    ap.add_argument("--index", default=os.path.join(DATA, "ftp-index.tsv"))
    ap.add_argument("--insert-file", default=os.path.join(DATA, "search.idx"))
    ap.add_argument("--news-file", default=None)
    ap.add_argument("--soft-file", default=None)
    ap.add_argument("--log", default=None)
    ap.add_argument("--hang-seconds", type=float, default=60.0)
    ap.add_argument("--huge-bytes", type=int, default=600000)
    ap.add_argument("--write-engines", default=None)
    ap.add_argument("--exit-after", type=float, default=None)
    ap.add_argument("--ftp-port", type=int, default=None)
    args = ap.parse_args(argv)

    try:
        entries = load_index(args.index)
    except OSError as e:
        print("demo_server: cannot read index %s: %s" % (args.index, e), file=sys.stderr)
        return 2
    state = State(args, entries)
    try:
        main_server = DemoServer(args.port, state)
        second = DemoServer(args.port2, state) if args.port2 is not None else None
        ftp = FtpServer(args.ftp_port, state) if args.ftp_port is not None else None
    except OSError as e:
        print("demo_server: cannot listen on %s: %s" % (HOST, e), file=sys.stderr)
        return 1
    state.port = main_server.server_address[1]
    state.port2 = second.server_address[1] if second else 0
    if args.write_engines:
        with open(args.write_engines, "w", encoding="latin-1", newline="\n") as f:
            f.write(engines_dat(state.port))

    threading.Thread(target=watch_parent, args=(state, os.getppid(), args.exit_after),
                     daemon=True).start()
    if second:
        threading.Thread(target=second.serve_forever, daemon=True).start()
    if ftp:
        threading.Thread(target=ftp.serve_forever, daemon=True).start()
        print("ftp %d" % ftp.server_address[1], flush=True)
    line = "listening %d" % state.port + (" %d" % state.port2 if second else "")
    print(line, flush=True)
    try:
        main_server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
