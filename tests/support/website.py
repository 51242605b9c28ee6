#!/usr/bin/env python3
"""Local stand-in for the Velonar product website, for the tests, the benchmark and the demo.

Python 3 standard library only. Its own tests: tests/support/website_test.py.

Typical use (a test run, a CTest setup/cleanup fixture pair, the demo):
  website.py start --root BUILD/fixtures --port-file BUILD/website.port --request-log R.log
  ZIDEZUREZIV_WEBSITE=http://127.0.0.1:$(cat BUILD/website.port)/ok/  (the program's base)
  website.py stop --port-file BUILD/website.port

Command line
------------
  website.py serve [options] [--port-file F]
      Runs in the foreground until interrupted (Ctrl+C, SIGTERM), idle for --idle-exit seconds,
      or the --parent process is gone. With --port-file, writes the port file and F.pid as
      `start` does and removes them on the way out. Prints the base address to stderr.
  website.py start [options] --port-file F [--log LOG]
      Starts the server detached (new session, stdio on /dev/null or appended to LOG) and
      returns once it is listening, after writing the port number (decimal, newline) to F and
      the server's process id to F.pid. Prints the port on stdout. Exit status 0 on success, 1
      (with the reason on stderr) when the server could not start. A server still running from
      an earlier `start` with the same port file is stopped first.
  website.py stop --port-file F
      Stops the server named by F.pid (SIGTERM, then SIGKILL after 5 s) and removes F and
      F.pid. Harmless when nothing is running or the files do not exist; exit status 0.

Options (serve and start):
  --root DIR            folder whose files are served under packages/ (none: every package 404)
  --catalogue FILE      release catalogue, JSON (format below); default: the built-in catalogue
  --host ADDR           address to listen on, default 127.0.0.1
  --port N              port, default 0 = any free port
  --idle-exit SECONDS   stop after that long without a request (none running, none started);
                        default 600, 0 = never. Keeps an interrupted test run from leaving a
                        server behind.
  --parent PID          stop when process PID is gone (checked every second)
  --tls DIR             also serve HTTPS, on two more ports: DIR holds the fixtures' tls-ca.pem/.key
                        and tls-untrusted-ca.pem/.key. At start the server makes a certificate for
                        DNS name "localhost" from each authority, each with a revocation list at
                        http://127.0.0.1:PORT/crl/<authority>.crl (served here, empty), and writes
                        "<trusted port> <untrusted port>" to <port-file>.tls. Both answer exactly as
                        the plain port does. (Wine's WinINet checks revocation: without a list to
                        fetch, every certificate fails; and it checks the host name against the DNS
                        names only, so the HTTPS addresses use "localhost".)
  --request-log FILE    append one line per request, flushed at once:
                        "<path> <status> <bytes of body sent>", <path> as in the request line
                        (still percent-encoded, query included). A line is written when its
                        response is over, which may be a moment after the client saw the last
                        byte: a test should wait for the line it expects (poll ~1 s), not read
                        the log once.

Addresses
---------
  http://HOST:PORT/<modes>/<file>

<modes> is one path segment: comma-separated mode words (below), e.g. "ok", "404-archive",
"noclen,slow". A test points the program at the base address http://HOST:PORT/<modes>/; the
program appends "Download.htm", "Archive.htm" and the row links (relative, "packages/<name>").
An unknown or malformed mode word answers 400 (so a typo is caught), whatever the file.

<file> is one of:
  Download.htm, Archive.htm   generated from the catalogue, UTF-8, text/html; charset=utf-8
  packages/<name>             the file <name> from --root (404 if absent or not a plain name),
                              application/octet-stream; sent with sendfile unless a mode
                              changes the pacing
  crl/<authority>.crl         the (empty) revocation list of a --tls authority, DER
  bytes/<N>, bytes/<N>.msi    N bytes, byte i = (i * 7 + 3) & 0xFF (so 03 0a 11 18 ...; the
                              pattern repeats every 256 bytes), application/octet-stream;
                              bytes/0 is an empty body
  anything else               404
Requests for a hostile row link (see "hostile") answer 200 with the body
b"not a package: <name>\\n", in every form a client may send them: raw ("packages/../evil1.msi"),
percent-encoded, with backslashes, or already resolved ("/hostile/evil1.msi", "/evil6.msi"); that
is, any path whose percent-decoded last component (split on "/" and "\\") is evil<digits>.msi
or VERSION.dll.
GET and HEAD are answered. Responses with a Content-Length keep the connection open
(HTTP/1.1 keep-alive); responses without one say "Connection: close" and end by closing.

Ranges
------
Packages and bytes/<N> carry validators: ETag "<size hex>-<mtime ns hex>" (bytes/<N>: "bytes-<N>")
and a Last-Modified date (bytes/<N>: 2026-01-01 00:00:00 GMT). A GET of one with
"Range: bytes=<first>-[<last>]" (one range) is answered, unless the mode norange is on:
  206 with "Content-Range: bytes <first>-<last>/<size>" and that part, when <first> < size and
      there is no If-Range or it equals the ETag or the Last-Modified text exactly;
  416 with "Content-Range: bytes */<size>" and an empty body, when <first> >= size (and If-Range,
      if any, matches);
  200 with the whole body when If-Range does not match (the file changed) or the range is not
      of that form.
Every response also carries a Date header (now).

Modes
-----
  ok               normal
  404-download     Download.htm answers 404 (small HTML body)
  500-download     Download.htm answers 500
  404-archive      Archive.htm answers 404
  404-package      packages/<name> answers 404 with an error page of 300 kB
  500-archive      Archive.htm answers 500
  noclen           no Content-Length on any response; the body ends when the connection closes
  empty-download   Download.htm is 200 with an empty body
  empty-archive    Archive.htm is 200 with an empty body
  reset            every body (pages, packages, bytes, error pages) announces its full
                   Content-Length, sends length // 2 bytes, waits 0.1 s, then resets the
                   connection (SO_LINGER 0 and close: the client sees a reset, not an end)
  slow             bodies trickle at 40960 bytes/s: 4096 bytes, then 100 ms, and so on
  slow=<B>         bodies trickle at B bytes/s (B >= 1): max(1, B // 10) bytes at a time
  missing64        Download.htm without the element with id "vncurrent64"
  shortdate        the current release's paragraphs read "Released 2026-1-5" and nothing more
  tdheader         the archive tables have no th header row: their first row is a data row
  baddate          the first data row of both archive tables has the date cell "soon"
  hostile          both archive tables start with eight rows whose links try to leave the
                   download folder or save what is no package (HOSTILE_LINKS below:
                   "packages/../evil1.msi", "packages/..%2Fevil2.msi", "packages/..%5Cevil3.msi",
                   "packages\\..\\evil4.msi", "packages/", "packages/%2E%2E%5Cevil5.msi",
                   "../../evil6.msi", "packages/VERSION.dll"), versions 6.8 down to 6.1, dates
                   2026-09-08 down to 2026-09-01, note "Hostile link"; the catalogue's normal
                   rows follow.
                   "packages/" itself answers 200 (small body) in this mode.
  cut              bodies announce their full Content-Length, send half of it and then close
                   the connection cleanly (an end of stream, not a reset)
  cutonce=<T>      as cut for the first body answered for token T (letters, digits, "-", "_",
                   at most 64) and this path after the modes; later ones are whole. The count
                   lives as long as the server: use a new token for each test run.
  renew            with cutonce: every answer for the token after the first carries other
                   validators, and for bytes/<N> other bytes: answer k (from 0) sends byte i as
                   (i * 7 + 3 + k) & 0xFF (as if the file had been replaced between two requests)
  chunked          bodies go with "Transfer-Encoding: chunked" and no Content-Length, ending with
                   the last (empty) chunk; with cut or cutonce half the body is sent and the
                   connection closed cleanly with no last chunk
  weaketag         the ETag is weak: W/"..." (If-Range never matches it)
  noetag           no ETag: the Last-Modified date is the only validator
  blindrange       Range is honoured and If-Range ignored: a 206 of the file as it is now
  overlap          a 206 begins up to 1000 bytes before the first byte asked for
  stall            after the headers of a body, nothing: the connection is held until the client
                   closes it or 5 s have passed, then closed
  norange          Range and If-Range are ignored: always the whole body with 200
  rebuilt          archive rows of the built-in catalogue link to "<stem>-rebuilt-signed.msi" where
                   that file exists (the same release built again: another package code)
  foreign          package links of the current release and the archive point to "<stem>-foreign.msi"
                   where that file exists (the same package signed by another publisher)
  unsigned         package links point to the unsigned original: "<stem>.msi" for "<stem>-signed.msi"
  tohttp           packages/<name> answers 302 to the same package on the plain http port
                   (http://127.0.0.1:PORT/<the other modes>/packages/<name>): a redirect from
                   HTTPS down to HTTP
  rows=<N>         the archive has N rows per build (0 <= N <= 100000) instead of the
                   catalogue's: row i (from 0) is version 4.<i // 100>.<i % 100>, dated
                   2026-09-30 minus i days, note "", linking to packages/velonar32-5.45.msi and
                   packages/velonar64-5.45.msi
Modes combine (e.g. "noclen,slow", "hostile,tdheader"); "ok" adds nothing.

Pages
-----
Download.htm: an element with id "vncurrent32" holding
    <a href="packages/<file32>">Velonar <version> for Windows</a> ... <p>Released YYYY-MM-DD</p>
and one with id "vncurrent64" holding the same for <file64>; a title, heading, a link to
Archive.htm and a footer around them.
Archive.htm: a heading with id "archive32bit" followed by its table, and a table with id
"archive64bit"; each table has a header row <tr><th>Package</th><th>Released</th><th>Note</th></tr>
(not with tdheader) and then one row per release, newest first:
    <tr><td><a href="packages/<file>">Velonar <version></a></td><td>YYYY-MM-DD</td><td><note></td></tr>

Catalogue
---------
Built in (file names are those of the test fixtures, made by tests/fixtures/make_fixtures.py):
  current 5.46, 2026-10-01: velonar32-5.46-signed.msi, velonar64-5.46-signed.msi
  archive 5.45.3 2026-06-15 "Security fix"; 5.45 2026-04-02; 5.30.3 2025-09-30 "Last release for
          Windows 7"; 5.30.2 2025-08-11; 5.25 2024-12-01; 5.20 2024-05-20 "First 5.2x release";
          files velonar32-<version>.msi and velonar64-<version>.msi
  The built-in catalogue has "prefer_signed": archive rows link to "<stem>-signed.msi" instead
  of "<stem>.msi" when that file exists in --root, looked up at each request.
--catalogue FILE.json gives another one:
  {
    "current": {"version": "5.46", "date": "2026-10-01",
                "file32": "velonar32-5.46.msi", "file64": "velonar64-5.46.msi"},
    "archive": [
      {"version": "5.45", "date": "2026-04-02", "note": "Security fix",
       "file32": "velonar32-5.45.msi", "file64": "velonar64-5.45.msi"},
      ...
    ],
    "prefer_signed": false
  }
  "archive" lists rows newest first. "note" and "prefer_signed" are optional ("", false). A row
  whose "file32" or "file64" is missing or null is left out of that build's table. Text is
  HTML-escaped as it goes into the page; file names are put after "packages/" as given.
"""

import argparse
import datetime
import html
import json
import os
import re
import select
import shutil
import signal
import socket
import socketserver
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

DEFAULT_IDLE_EXIT = 600
SLOW_DEFAULT_RATE = 40960  # 4096 bytes every 100 ms
RESET_PAUSE = 0.1
MAX_ROWS = 100000
MAX_BYTES = 1 << 40
STOP_WAIT = 5.0
STALL_SECONDS = 5.0
PATTERN_MODIFIED = 1767225600  # 2026-01-01 00:00:00 UTC, the Last-Modified of bytes/<N>
TOKEN = re.compile(r"[A-Za-z0-9_-]{1,64}\Z")
RANGE = re.compile(r"bytes=([0-9]{1,19})-([0-9]{0,19})\Z")

DEFAULT_CATALOGUE = {
    "current": {"version": "5.46", "date": "2026-10-01",
                "file32": "velonar32-5.46-signed.msi", "file64": "velonar64-5.46-signed.msi"},
    "archive": [
        {"version": v, "date": d, "note": n,
         "file32": "velonar32-%s.msi" % v, "file64": "velonar64-%s.msi" % v}
        for v, d, n in [
            ("5.45.3", "2026-06-15", "Security fix"),
            ("5.45", "2026-04-02", ""),
            ("5.30.3", "2025-09-30", "Last release for Windows 7"),
            ("5.30.2", "2025-08-11", ""),
            ("5.25", "2024-12-01", ""),
            ("5.20", "2024-05-20", "First 5.2x release"),
        ]
    ],
    "prefer_signed": True,
}

HOSTILE_LINKS = [
    "packages/../evil1.msi",
    "packages/..%2Fevil2.msi",
    "packages/..%5Cevil3.msi",
    "packages\\..\\evil4.msi",
    "packages/",
    "packages/%2E%2E%5Cevil5.msi",
    "../../evil6.msi",
    "packages/VERSION.dll",
]
HOSTILE_NAME = re.compile(r"(evil[0-9]+\.msi|VERSION\.dll)\Z", re.IGNORECASE)

ROWS_START = datetime.date(2026, 9, 30)
ROWS_FILE32 = "velonar32-5.45.msi"
ROWS_FILE64 = "velonar64-5.45.msi"

SIMPLE_MODES = {"ok", "404-download", "500-download", "404-archive", "500-archive", "404-package",
                "noclen", "empty-download", "empty-archive", "reset", "slow", "missing64",
                "shortdate", "tdheader", "baddate", "hostile", "cut", "renew", "stall", "norange", "rebuilt",
                "foreign", "unsigned", "tohttp", "chunked", "weaketag", "noetag", "blindrange",
                "overlap"}


# ----------------------------------------------------------------------------------------------
# Modes and pages


class BadMode(ValueError):
    pass


def decimal(text):
    return text.isascii() and text.isdigit()


class Modes:
    def __init__(self, segment):
        self.words = set()
        self.rate = None  # bytes per second when slow
        self.rows = None
        self.cutonce = None  # token
        for word in segment.split(","):
            if word in SIMPLE_MODES:
                self.words.add(word)
                if word == "slow" and self.rate is None:
                    self.rate = SLOW_DEFAULT_RATE
            elif word.startswith("slow=") and decimal(word[5:]) and int(word[5:]) >= 1:
                self.rate = int(word[5:])
                self.words.add("slow")
            elif word.startswith("rows=") and decimal(word[5:]) and int(word[5:]) <= MAX_ROWS:
                self.rows = int(word[5:])
            elif word.startswith("cutonce=") and TOKEN.match(word[8:]):
                self.cutonce = word[8:]
            else:
                raise BadMode(word)

    def __contains__(self, word):
        return word in self.words


def load_catalogue(path):
    if path is None:
        return DEFAULT_CATALOGUE
    with open(path, encoding="utf-8") as f:
        catalogue = json.load(f)
    current = catalogue.get("current")
    if not isinstance(current, dict):
        raise ValueError("%s: no \"current\" object" % path)
    for key in ("version", "date", "file32", "file64"):
        if not isinstance(current.get(key), str):
            raise ValueError("%s: current.%s must be a string" % (path, key))
    archive = catalogue.get("archive", [])
    if not isinstance(archive, list):
        raise ValueError("%s: \"archive\" must be a list" % path)
    for i, row in enumerate(archive):
        if not isinstance(row, dict) or not isinstance(row.get("version"), str) \
                or not isinstance(row.get("date"), str):
            raise ValueError("%s: archive[%d] needs string version and date" % (path, i))
    return {"current": current, "archive": archive,
            "prefer_signed": bool(catalogue.get("prefer_signed", False))}


def esc(text):
    return html.escape(text, quote=True)


def package_link(name, modes, root):
    """The file a package link names in these modes: the foreign or the unsigned copy instead."""
    if not name.endswith(".msi"):
        return name
    stem = name[:-len("-signed.msi")] if name.endswith("-signed.msi") else name[:-4]
    if "unsigned" in modes:
        return stem + ".msi"
    if "foreign" in modes and root and os.path.isfile(os.path.join(root, stem + "-foreign.msi")):
        return stem + "-foreign.msi"
    return name


def download_page(catalogue, modes, root=None):
    current = catalogue["current"]
    version = esc(current["version"])
    released = "2026-1-5" if "shortdate" in modes else esc(current["date"])

    def section(bits, name):
        return ('<div id="vncurrent%s" class="release">\n'
                '<h2>%s-bit</h2>\n'
                '<a href="packages/%s" title="%s-bit installer">Velonar %s for Windows</a>\n'
                '<p>Released %s</p>\n'
                '</div>\n' % (bits, bits, esc(name), bits, version, released))

    parts = [
        '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
        '<title>Velonar &mdash; Download</title>\n'
        '<link rel="stylesheet" href="site.css">\n</head>\n<body>\n'
        '<div class="top"><a href="index.htm">Velonar</a></div>\n'
        '<div id="content">\n<h1>Download Velonar</h1>\n'
        '<p>Velonar runs on Windows&nbsp;10 and later.</p>\n',
        section("32", package_link(current["file32"], modes, root)),
    ]
    if "missing64" not in modes:
        parts.append(section("64", package_link(current["file64"], modes, root)))
    parts.append(
        '<p>Older releases are kept in the <a href="Archive.htm">archive</a>.</p>\n'
        '</div>\n<div class="foot">&copy; Corrabel &amp; friends &middot; '
        '<a href="mailto:support@velonar.example">support</a></div>\n</body>\n</html>\n')
    return "".join(parts).encode("utf-8")


def archive_rows(catalogue, modes, root, bits):
    """(href, version, date, note) tuples of one build's table, newest first."""
    rows = []
    if "hostile" in modes:
        for i, link in enumerate(HOSTILE_LINKS):
            n = len(HOSTILE_LINKS) - i
            rows.append((link, "6.%d" % n, "2026-09-%02d" % n, "Hostile link"))
    if modes.rows is not None:
        name = ROWS_FILE32 if bits == "32" else ROWS_FILE64
        for i in range(modes.rows):
            date = (ROWS_START - datetime.timedelta(days=i)).isoformat()
            rows.append(("packages/" + name, "4.%d.%d" % (i // 100, i % 100), date, ""))
    else:
        for entry in catalogue["archive"]:
            name = entry.get("file" + bits)
            if not name:
                continue
            if catalogue.get("prefer_signed") and root and name.endswith(".msi"):
                for suffix in (["-rebuilt-signed.msi"] if "rebuilt" in modes else []) + ["-signed.msi"]:
                    if os.path.isfile(os.path.join(root, name[:-4] + suffix)):
                        name = name[:-4] + suffix
                        break
            rows.append(("packages/" + package_link(name, modes, root), entry["version"], entry["date"],
                         entry.get("note") or ""))
    return rows


def archive_table_rows(rows, modes):
    out = []
    if "tdheader" not in modes:
        out.append("<tr><th>Package</th><th>Released</th><th>Note</th></tr>\n")
    for i, (href, version, date, note) in enumerate(rows):
        if i == 0 and "baddate" in modes:
            date = "soon"
        out.append('<tr><td><a href="%s">Velonar %s</a></td><td>%s</td><td>%s</td></tr>\n'
                   % (esc(href), esc(version), esc(date), esc(note)))
    return "".join(out)


def archive_page(catalogue, modes, root):
    table32 = archive_table_rows(archive_rows(catalogue, modes, root, "32"), modes)
    table64 = archive_table_rows(archive_rows(catalogue, modes, root, "64"), modes)
    text = ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            '<title>Velonar &mdash; Archive</title>\n'
            '<link rel="stylesheet" href="site.css">\n</head>\n<body>\n'
            '<div class="top"><a href="index.htm">Velonar</a></div>\n'
            '<div id="content">\n<h1>Older releases</h1>\n'
            '<p>The current release is on the <a href="Download.htm">download page</a>.</p>\n'
            '<h2 id="archive32bit">32-bit builds</h2>\n'
            '<table class="archive">\n' + table32 + '</table>\n'
            '<h2>64-bit builds</h2>\n'
            '<table id="archive64bit" class="archive">\n' + table64 + '</table>\n'
            '</div>\n<div class="foot">&copy; Corrabel &amp; friends</div>\n</body>\n</html>\n')
    return text.encode("utf-8")


def status_page(status, reason):
    return ('<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>%d %s</title></head>\n'
            '<body><h1>%d %s</h1></body></html>\n' % (status, esc(reason), status, esc(reason))
            ).encode("utf-8")


# ----------------------------------------------------------------------------------------------
# Bodies


class Body:
    """What a response sends: bytes in memory, a file, or the bytes/N pattern."""

    def __init__(self, length, data=None, path=None, pattern=False, etag=None, modified=None):
        self.length = length
        self.data = data
        self.path = path
        self.pattern = pattern
        self.etag = etag          # validators of a body that ranges may be asked of
        self.modified = modified  # seconds since 1970
        self.renewal = 0          # renew: how often the pattern's file was replaced


PATTERN_BLOCK = bytes((i * 7 + 3) & 0xFF for i in range(256)) * 4096  # 1 MiB, whole periods


def pattern_bytes(offset, count):
    start = offset % 256
    out = bytearray()
    while count > 0:
        piece = PATTERN_BLOCK[start:start + count]
        out += piece
        count -= len(piece)
        start = 0
    return bytes(out)


def read_body(body, offset, count, handle):
    if body.data is not None:
        return body.data[offset:offset + count]
    if body.pattern:
        # Byte i of renewal k is byte i + 183 k of the first one: 7 * 183 = 1 (mod 256).
        return pattern_bytes(offset + 183 * body.renewal, count)
    handle.seek(offset)
    return handle.read(count)


# ----------------------------------------------------------------------------------------------
# Server


class SiteState:
    """What every listener of one website shares: the catalogue, the counts and the request log."""

    def __init__(self, options):
        self.root = options.root
        self.catalogue = load_catalogue(options.catalogue)
        self.lock = threading.Lock()
        self.active = 0
        self.last_activity = time.monotonic()
        self.tokens = {}
        self.request_log = open(options.request_log, "a", encoding="utf-8") \
            if options.request_log else None
        self.http_port = None
        self.crls = {}  # authority name -> DER revocation list


class WebsiteServer(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128

    def __init__(self, address, options, state=None, tls=None):
        self.options = options
        self.state = state or SiteState(options)
        self.root = self.state.root
        self.catalogue = self.state.catalogue
        self.tls = tls  # an ssl.SSLContext for an HTTPS listener
        super().__init__(address, Handler)

    def server_bind(self):
        # Skips HTTPServer's getfqdn(), a name look-up that can stall without a resolver.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def handle_error(self, request, client_address):
        # A client that refuses the certificate hangs up in the handshake: that is what some tests do.
        if isinstance(sys.exc_info()[1], (ssl.SSLError, ConnectionError, socket.timeout)):
            return
        super().handle_error(request, client_address)

    def begin_request(self):
        state = self.state
        with state.lock:
            state.active += 1
            state.last_activity = time.monotonic()

    def end_request(self, path, status, sent):
        state = self.state
        with state.lock:
            state.active -= 1
            state.last_activity = time.monotonic()
            if state.request_log:
                state.request_log.write("%s %d %d\n" % (path, status, sent))
                state.request_log.flush()

    def count_token(self, token, path):
        """How many bodies were answered before for token and path (cutonce)."""
        state = self.state
        with state.lock:
            key = (token, path)
            count = state.tokens.get(key, 0)
            state.tokens[key] = count + 1
            return count

    def idle_for(self):
        state = self.state
        with state.lock:
            return 0.0 if state.active else time.monotonic() - state.last_activity


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VelonarTestSite/1.0"

    def setup(self):
        # The handshake runs here, in the request's own thread: a client that never finishes it holds
        # up nobody else.
        if self.server.tls:
            self.request.settimeout(30)
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
            self.request.settimeout(None)
        super().setup()
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), format % args))
        sys.stderr.flush()

    def do_HEAD(self):
        self.answer(head=True)

    def do_GET(self):
        self.answer(head=False)

    # -- routing

    def route(self):
        """(status, content type, Body, Modes or None)."""
        raw = self.path.split("?", 1)[0].split("#", 1)[0]
        decoded = urllib.parse.unquote(raw, errors="replace")
        last = re.split(r"[/\\]", decoded)[-1]
        if HOSTILE_NAME.match(last):
            data = ("not a package: %s\n" % last).encode("utf-8")
            return 200, "application/octet-stream", Body(len(data), data=data), None
        if not raw.startswith("/"):
            return self.error(404, None)
        crl = re.match(r"/crl/([A-Za-z0-9-]+)\.crl\Z", raw)
        if crl and crl.group(1) in self.server.state.crls:
            data = self.server.state.crls[crl.group(1)]
            return 200, "application/pkix-crl", Body(len(data), data=data), None
        segment, slash, rest = raw[1:].partition("/")
        try:
            modes = Modes(urllib.parse.unquote(segment, errors="replace"))
        except BadMode as e:
            return self.error(400, None, "Unknown mode %r" % str(e))
        if not slash:
            return self.error(404, modes)
        if rest == "Download.htm":
            return self.page(modes, "download", lambda: download_page(self.server.catalogue, modes, self.server.root))
        if rest == "Archive.htm":
            return self.page(modes, "archive",
                             lambda: archive_page(self.server.catalogue, modes, self.server.root))
        if rest.startswith("packages/"):
            if "tohttp" in modes:
                others = ",".join(sorted(modes.words - {"tohttp"})) or "ok"
                target = "http://127.0.0.1:%d/%s/%s" % (self.server.state.http_port, others, rest)
                data = status_page(302, "Found")
                body = Body(len(data), data=data)
                body.location = target
                return 302, "text/html; charset=utf-8", body, modes
            if "404-package" in modes:
                data = status_page(404, "Not Found " + "." * 300000)
                return 404, "text/html; charset=utf-8", Body(len(data), data=data), modes
            name = urllib.parse.unquote(rest[len("packages/"):], errors="replace")
            if name == "" and "hostile" in modes:
                data = b"not a package: (empty name)\n"
                return 200, "application/octet-stream", Body(len(data), data=data), modes
            if not name or name in (".", "..") or "/" in name or "\\" in name \
                    or "\0" in name or not self.server.root:
                return self.error(404, modes)
            path = os.path.join(self.server.root, name)
            try:
                size = os.stat(path).st_size if os.path.isfile(path) else None
            except OSError:
                size = None
            if size is None:
                return self.error(404, modes)
            mtime = os.stat(path).st_mtime_ns
            return 200, "application/octet-stream", Body(
                size, path=path, etag='"%x-%x"' % (size, mtime), modified=mtime // 10**9), modes
        if rest.startswith("bytes/"):
            count = rest[len("bytes/"):]
            if count.endswith(".msi"):
                count = count[:-4]
            if decimal(count) and int(count) <= MAX_BYTES:
                return 200, "application/octet-stream", Body(
                    int(count), pattern=True, etag='"bytes-%d"' % int(count),
                    modified=PATTERN_MODIFIED), modes
        return self.error(404, modes)

    def page(self, modes, which, make):
        for status in (404, 500):
            if "%d-%s" % (status, which) in modes:
                return self.error(status, modes)
        data = b"" if "empty-" + which in modes else make()
        return 200, "text/html; charset=utf-8", Body(len(data), data=data), modes

    def error(self, status, modes, message=None):
        reason = message or self.responses.get(status, ("Error",))[0]
        data = status_page(status, reason)
        return status, "text/html; charset=utf-8", Body(len(data), data=data), modes

    # -- answering

    def answer(self, head):
        self.server.begin_request()
        status, sent = 500, 0
        try:
            status, ctype, body, modes = self.route()
            words = modes.words if modes else set()
            cut = "cut" in words
            if body.etag and modes and modes.cutonce:
                count = self.server.count_token(modes.cutonce, self.path.split("/", 2)[-1])
                cut = cut or count == 0
                if "renew" in words and count:
                    body.etag = body.etag[:-1] + '-%d"' % count
                    body.modified += count
                    body.renewal = count
            offset, length = 0, body.length
            if status == 200 and body.etag:
                status, offset, length = self.ranged(body, words)
            chunked = "chunked" in words and not head
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            if getattr(body, "location", None):
                self.send_header("Location", body.location)
            if body.etag:
                self.send_validators(body, words)
                if "norange" not in words:
                    self.send_header("Accept-Ranges", "bytes")
            if status == 206:
                self.send_header("Content-Range", "bytes %d-%d/%d"
                                 % (offset, offset + length - 1, body.length))
            elif status == 416:
                self.send_header("Content-Range", "bytes */%d" % body.length)
            if chunked:
                self.send_header("Transfer-Encoding", "chunked")
            elif "noclen" in words:
                self.send_header("Connection", "close")  # also sets close_connection
            else:
                self.send_header("Content-Length", str(length))
            self.end_headers()
            if head:
                return
            if "stall" in words:
                self.wfile.flush()
                self.stall()
                return
            limit = length // 2 if "reset" in words or cut else length
            sent = self.send_body(body, offset, limit, modes.rate if modes else None, chunked)
            if chunked and limit == length:
                self.wfile.write(b"0\r\n\r\n")
            if "reset" in words:
                time.sleep(RESET_PAUSE)
                self.reset_connection()
            elif cut:
                self.close_connection = True  # a clean end of stream before the announced length
                self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError) as e:
            sent = getattr(e, "sent", sent)
            self.close_connection = True
        finally:
            self.server.end_request(self.path, status, sent)

    def send_validators(self, body, words):
        if "noetag" not in words:
            self.send_header("ETag", ("W/" if "weaketag" in words else "") + body.etag)
        self.send_header("Last-Modified", self.date_time_string(body.modified))

    def ranged(self, body, words):
        """(status, first byte, bytes to send) for a GET that may ask for a range."""
        asked = self.headers.get("Range")
        found = RANGE.match(asked.strip()) if asked and "norange" not in words else None
        if not found or self.command != "GET":
            return 200, 0, body.length
        condition = self.headers.get("If-Range")
        matching = [self.date_time_string(body.modified)]
        if not words & {"noetag", "weaketag"}:
            matching.append(body.etag)
        if condition is not None and "blindrange" not in words and condition.strip() not in matching:
            return 200, 0, body.length
        first = int(found.group(1))
        last = int(found.group(2)) if found.group(2) else body.length - 1
        if first >= body.length:
            return 416, 0, 0
        if last < first:
            return 200, 0, body.length
        last = min(last, body.length - 1)
        if "overlap" in words:
            first = max(0, first - 1000)
        return 206, first, last - first + 1

    def stall(self):
        """Holds the connection without sending until the client closes it or time is up."""
        self.close_connection = True
        deadline = time.monotonic() + STALL_SECONDS
        while time.monotonic() < deadline:
            readable, _, _ = select.select([self.connection], [], [], 0.1)
            if readable:
                try:
                    if not self.connection.recv(65536):
                        return
                except OSError:
                    return

    def send_body(self, body, offset, limit, rate, chunked=False):
        sent = 0
        handle = open(body.path, "rb") if body.path else None
        try:
            if rate is None and handle is not None and not chunked:
                try:
                    return self.connection.sendfile(handle, offset, limit) if limit else 0
                except OSError as e:
                    e.sent = handle.tell() - offset
                    raise
            chunk = max(1, rate // 10) if rate else 1 << 20
            started = time.monotonic()
            while sent < limit:
                data = read_body(body, offset + sent, min(chunk, limit - sent), handle)
                if not data:
                    break  # the file shrank under us
                try:
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data) if chunked else data)
                except OSError as e:
                    e.sent = sent
                    raise
                sent += len(data)
                if rate and sent < limit:
                    delay = started + sent / rate - time.monotonic()
                    if delay > 0:
                        time.sleep(delay)
            return sent
        finally:
            if handle:
                handle.close()

    def reset_connection(self):
        """Closes with SO_LINGER 0, so the peer gets a reset instead of an end of stream."""
        self.close_connection = True
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.rfile.close()  # drops the makefile reference, so close() really closes the socket
        self.connection.close()


# ----------------------------------------------------------------------------------------------
# HTTPS

TLS_AUTHORITIES = ("tls-ca", "tls-untrusted-ca")  # the trusted listener's, then the untrusted one's
SERVER_EXTENSIONS = """[server]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
crlDistributionPoints = URI:%s
[ca]
default_ca = own
[own]
database = %s
crlnumber = %s
default_md = sha256
default_crl_days = 30
"""


def openssl(*args):
    result = subprocess.run(["openssl"] + list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise ValueError("openssl %s failed: %s" % (args[0], result.stdout.decode(errors="replace")))


def make_tls_context(tls_dir, authority, http_port, work):
    """(SSLContext for localhost, DER revocation list) from one authority of tls_dir."""
    ca_cert = os.path.join(tls_dir, authority + ".pem")
    ca_key = os.path.join(tls_dir, authority + ".key")
    folder = os.path.join(work, authority)
    os.makedirs(folder)
    index, number = os.path.join(folder, "index.txt"), os.path.join(folder, "crlnumber")
    open(index, "w").close()
    with open(number, "w") as f:
        f.write("01\n")
    config = os.path.join(folder, "openssl.cnf")
    with open(config, "w") as f:
        f.write(SERVER_EXTENSIONS % ("http://127.0.0.1:%d/crl/%s.crl" % (http_port, authority), index, number))
    key, csr, cert = (os.path.join(folder, name) for name in ("server.key", "server.csr", "server.pem"))
    crl_pem, crl_der = os.path.join(folder, "crl.pem"), os.path.join(folder, "crl.der")
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", csr, "-CA", ca_cert, "-CAkey", ca_key, "-set_serial", str(int(time.time())),
            "-days", "30", "-sha256", "-extfile", config, "-extensions", "server", "-out", cert)
    openssl("ca", "-gencrl", "-config", config, "-keyfile", ca_key, "-cert", ca_cert, "-out", crl_pem)
    openssl("crl", "-in", crl_pem, "-outform", "DER", "-out", crl_der)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    with open(crl_der, "rb") as f:
        return context, f.read()


def start_tls_listeners(options, primary):
    """The trusted and the untrusted HTTPS listener of the website, sharing primary's state."""
    work = tempfile.mkdtemp(prefix="website-tls.")
    try:
        servers = []
        for authority in TLS_AUTHORITIES:
            context, crl = make_tls_context(options.tls, authority, primary.state.http_port, work)
            primary.state.crls[authority] = crl
            servers.append(WebsiteServer((options.host, 0), options, state=primary.state, tls=context))
        return servers
    finally:
        shutil.rmtree(work, ignore_errors=True)


# ----------------------------------------------------------------------------------------------
# Process handling


def write_atomically(path, text):
    temp = "%s.tmp%d" % (path, os.getpid())
    with open(temp, "w") as f:
        f.write(text)
    os.replace(temp, path)


def read_pid(pid_file):
    try:
        with open(pid_file) as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    try:
        with open("/proc/%d/stat" % pid) as f:
            state = f.read().rsplit(")", 1)[1].split()[0]
        return state not in ("Z", "X")
    except (OSError, IndexError):
        return True


def is_our_server(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            args = f.read().split(b"\0")
    except OSError:
        return process_alive(pid)  # no /proc: trust the pid file
    return any(os.path.basename(a) == b"website.py" for a in args) and b"serve" in args


def stop_server(port_file):
    pid_file = port_file + ".pid"
    pid = read_pid(pid_file)
    if pid and pid != os.getpid() and process_alive(pid) and is_our_server(pid):
        try:
            os.kill(pid, signal.SIGTERM)
            deadline = time.monotonic() + STOP_WAIT
            while process_alive(pid) and time.monotonic() < deadline:
                time.sleep(0.02)
            if process_alive(pid):
                os.kill(pid, signal.SIGKILL)
                deadline = time.monotonic() + STOP_WAIT
                while process_alive(pid) and time.monotonic() < deadline:
                    time.sleep(0.02)
        except ProcessLookupError:
            pass
    for path in (port_file, pid_file, port_file + ".tls"):
        try:
            os.remove(path)
        except FileNotFoundError:
            pass


def serve(options):
    ready = os.fdopen(options.ready_fd, "w") if options.ready_fd is not None else None
    try:
        if options.root and not os.path.isdir(options.root):
            raise ValueError("--root %s is not a folder" % options.root)
        server = WebsiteServer((options.host, options.port), options)
        server.state.http_port = server.server_address[1]
        tls_servers = start_tls_listeners(options, server) if options.tls else []
    except Exception as e:
        if ready:
            ready.write("error: %s\n" % e)
            ready.close()
            return 1
        raise
    port = server.server_address[1]
    pid_file = options.port_file + ".pid" if options.port_file else None
    if options.port_file:
        try:
            write_atomically(pid_file, "%d\n" % os.getpid())
            if tls_servers:
                write_atomically(options.port_file + ".tls", " ".join(
                    str(tls.server_address[1]) for tls in tls_servers) + "\n")
            write_atomically(options.port_file, "%d\n" % port)
        except OSError as e:
            server.server_close()
            if ready:
                ready.write("error: %s\n" % e)
                ready.close()
                return 1
            raise
    sys.stderr.write("serving http://%s:%d/ok/ (pid %d)\n" % (options.host, port, os.getpid()))
    sys.stderr.flush()

    stopping = threading.Event()

    def stop(reason):
        if not stopping.is_set():
            stopping.set()
            sys.stderr.write("stopping: %s\n" % reason)
            sys.stderr.flush()
            for each in [server] + tls_servers:
                threading.Thread(target=each.shutdown, daemon=True).start()

    def watch():
        while not stopping.wait(0.25 if options.idle_exit else 1.0):
            if options.idle_exit and server.idle_for() >= options.idle_exit:
                stop("idle for %g s" % options.idle_exit)
            if options.parent and not process_alive(options.parent):
                stop("parent %d is gone" % options.parent)

    # Also SIGINT: a shell starts background jobs with it ignored, so Python would not see it.
    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(number, lambda number, frame: stop(signal.Signals(number).name))
    threading.Thread(target=watch, daemon=True).start()
    if ready:
        ready.write("%d\n" % port)
        ready.close()
    for tls in tls_servers:
        threading.Thread(target=tls.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        for each in [server] + tls_servers:
            each.server_close()
        if pid_file and read_pid(pid_file) == os.getpid():
            for path in (options.port_file, pid_file, options.port_file + ".tls"):
                try:
                    os.remove(path)
                except FileNotFoundError:
                    pass
    return 0


def start(options):
    stop_server(options.port_file)
    args = [sys.executable, os.path.abspath(__file__), "serve",
            "--host", options.host, "--port", str(options.port),
            "--idle-exit", repr(options.idle_exit), "--port-file", os.path.abspath(options.port_file)]
    for name in ("root", "catalogue", "request_log", "tls"):
        value = getattr(options, name)
        if value:
            args += ["--" + name.replace("_", "-"), os.path.abspath(value)]
    if options.parent:
        args += ["--parent", str(options.parent)]
    read_end, write_end = os.pipe()
    args += ["--ready-fd", str(write_end)]
    output = open(options.log, "ab") if options.log else subprocess.DEVNULL
    try:
        subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=output, stderr=output,
                         pass_fds=(write_end,), start_new_session=True, cwd="/")
    finally:
        os.close(write_end)
        if options.log:
            output.close()
    with os.fdopen(read_end) as ready:
        answer = ready.read().strip()
    if not answer.isdigit():
        sys.stderr.write("website.py start: %s\n" % (answer or "the server exited while starting"))
        return 1
    print(answer)
    return 0


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Local stand-in for the Velonar website (see the module docstring).")
    commands = parser.add_subparsers(dest="command", required=True)

    def common(sub, port_file_required):
        sub.add_argument("--root")
        sub.add_argument("--catalogue")
        sub.add_argument("--host", default="127.0.0.1")
        sub.add_argument("--port", type=int, default=0)
        sub.add_argument("--idle-exit", type=float, default=DEFAULT_IDLE_EXIT)
        sub.add_argument("--parent", type=int)
        sub.add_argument("--request-log")
        sub.add_argument("--tls")
        sub.add_argument("--port-file", required=port_file_required)

    serve_parser = commands.add_parser("serve", help="run in the foreground")
    common(serve_parser, False)
    serve_parser.add_argument("--ready-fd", type=int, help=argparse.SUPPRESS)
    start_parser = commands.add_parser("start", help="start detached")
    common(start_parser, True)
    start_parser.add_argument("--log")
    stop_parser = commands.add_parser("stop", help="stop the server of a port file")
    stop_parser.add_argument("--port-file", required=True)
    return parser.parse_args(argv)


def main(argv):
    options = parse_args(argv)
    if options.command == "stop":
        stop_server(options.port_file)
        return 0
    if options.catalogue:
        try:
            load_catalogue(options.catalogue)
        except (OSError, ValueError) as e:
            sys.stderr.write("website.py: %s\n" % e)
            return 1
    if options.command == "start":
        return start(options)
    return serve(options)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
