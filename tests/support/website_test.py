#!/usr/bin/env python3
"""Tests of the local test website (website.py beside this file), through its command line.

Run: python3 tests/support/website_test.py [-v]. Standard library only; takes a few seconds.
"""

import datetime
import html
import http.client
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "website.py")
sys.path.insert(0, HERE)
import website  # noqa: E402  (for process_alive and the constants the pages are made from)

WORK = None
PORT = None
PORT_FILE = None
REQUEST_LOG = None
PACKAGE = os.urandom(300 * 1024 + 7)


def run(*args):
    return subprocess.run([sys.executable, SCRIPT] + list(args), capture_output=True, text=True,
                          timeout=30)


def start_server(name, *options):
    port_file = os.path.join(WORK, name + ".port")
    result = run("start", "--port-file", port_file, "--log", port_file + ".log", *options)
    if result.returncode != 0:
        raise AssertionError("start failed: %s" % result.stderr)
    with open(port_file) as f:
        port = int(f.read())
    with open(port_file + ".pid") as f:
        pid = int(f.read())
    return port_file, port, pid


def wait_gone(pid, seconds):
    deadline = time.monotonic() + seconds
    while website.process_alive(pid) and time.monotonic() < deadline:
        time.sleep(0.05)
    return not website.process_alive(pid)


def setUpModule():
    global WORK, PORT, PORT_FILE, REQUEST_LOG
    WORK = tempfile.mkdtemp(prefix="website_test.")
    root = os.path.join(WORK, "root")
    os.mkdir(root)
    with open(os.path.join(root, "pkg.bin"), "wb") as f:
        f.write(PACKAGE)
    for name in ("velonar32-5.45.3-signed.msi", "velonar32-5.45.3-rebuilt-signed.msi", "velonar32-5.45.3-foreign.msi"):
        with open(os.path.join(root, name), "wb") as f:
            f.write(b"signed")
    REQUEST_LOG = os.path.join(WORK, "requests.log")
    PORT_FILE, PORT, _ = start_server("main", "--root", root, "--request-log", REQUEST_LOG,
                                      "--idle-exit", "120", "--parent", str(os.getpid()))


def tearDownModule():
    run("stop", "--port-file", PORT_FILE)
    shutil.rmtree(WORK, ignore_errors=True)


def get(path, method="GET", port=None, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port or PORT, timeout=10)
    try:
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        return response.status, response.headers, response.read()
    finally:
        connection.close()


def raw_get(path, fields=""):
    """(head, body, error): reads with a raw socket until the end or an error."""
    with socket.create_connection(("127.0.0.1", PORT), timeout=10) as s:
        s.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % (path, fields)).encode())
        data = b""
        error = None
        try:
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                data += piece
        except OSError as e:
            error = e
    head, _, body = data.partition(b"\r\n\r\n")
    return head.decode("latin-1"), body, error


def header(head, name):
    found = re.search(r"^%s: *(.*?)\r?$" % re.escape(name), head, re.MULTILINE | re.IGNORECASE)
    return found.group(1) if found else None


def tables(page):
    """Rows of the two archive tables: lists of (cell tag, cell text, link) per row."""
    text = page.decode("utf-8")
    result = []
    for anchor in ('id="archive32bit"', 'id="archive64bit"'):
        start = text.index(anchor)
        table = text[start:text.index("</table>", start)]
        rows = []
        for row in re.findall(r"<tr>(.*?)</tr>", table):
            cells = re.findall(r"<(t[dh])>(.*?)</t[dh]>", row)
            link = re.search(r'href="([^"]*)"', row)
            rows.append([(tag, html.unescape(re.sub(r"<[^>]*>", "", body))) for tag, body in cells]
                        + [link.group(1) if link else None])
        result.append(rows)
    return result


def wait_for_log_line(regex, seconds=3):
    """The first request log line matching regex, waiting for it to be written."""
    deadline = time.monotonic() + seconds
    while True:
        with open(REQUEST_LOG) as f:
            for line in f.read().splitlines():
                found = re.fullmatch(regex, line)
                if found:
                    return found
        if time.monotonic() > deadline:
            raise AssertionError("no request log line matches %r" % regex)
        time.sleep(0.05)


def pattern(offset, count, renewal=0):
    return bytes(((offset + i) * 7 + 3 + renewal) & 0xFF for i in range(count))


def unchunked(body):
    """(the data of a chunked body, whether it ended with the last chunk)."""
    data = b""
    while body:
        size, _, body = body.partition(b"\r\n")
        if int(size, 16) == 0:
            return data, body == b"\r\n"
        data, body = data + body[:int(size, 16)], body[int(size, 16) + 2:]
    return data, False


class Pages(unittest.TestCase):
    def test_download_page(self):
        status, headers, body = get("/ok/Download.htm")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Content-Type"], "text/html; charset=utf-8")
        self.assertEqual(int(headers["Content-Length"]), len(body))
        text = body.decode("utf-8")
        i32, i64 = text.index('id="vncurrent32"'), text.index('id="vncurrent64"')
        self.assertIn('<a href="packages/velonar32-5.46-signed.msi"', text[i32:i64])
        self.assertIn(">Velonar 5.46 for Windows</a>", text[i32:i64])
        self.assertIn("<p>Released 2026-10-01</p>", text[i32:i64])
        self.assertIn('<a href="packages/velonar64-5.46-signed.msi"', text[i64:])
        self.assertIn('href="Archive.htm"', text)

    def test_archive_page_prefers_signed_files(self):
        status, headers, body = get("/ok/Archive.htm")
        self.assertEqual(status, 200)
        t32, t64 = tables(body)
        for rows, bits in ((t32, "32"), (t64, "64")):
            self.assertEqual([c[0] for c in rows[0][:3]], ["th"] * 3)
            self.assertEqual([c[1] for c in rows[0][:3]], ["Package", "Released", "Note"])
            data = rows[1:]
            self.assertEqual([r[0][1] for r in data],
                             ["Velonar " + e["version"] for e in website.DEFAULT_CATALOGUE["archive"]])
            self.assertEqual(data[0][1][1], "2026-06-15")
            self.assertEqual(data[0][2][1], "Security fix")
            self.assertEqual(data[2][2][1], "Last release for Windows 7")
            self.assertEqual(data[-1][-1], "packages/velonar%s-5.20.msi" % bits)
        self.assertEqual(t32[1][-1], "packages/velonar32-5.45.3-signed.msi")
        self.assertEqual(t64[1][-1], "packages/velonar64-5.45.3.msi")
        # rebuilt: the rebuilt file where there is one, else the signed one as before.
        t32, t64 = tables(get("/rebuilt/Archive.htm")[2])
        self.assertEqual(t32[1][-1], "packages/velonar32-5.45.3-rebuilt-signed.msi")
        self.assertEqual(t64[1][-1], "packages/velonar64-5.45.3.msi")

    def test_foreign_unsigned_and_tohttp_links(self):
        # foreign: the other publisher's copy where there is one; unsigned: always the original.
        t32, t64 = tables(get("/foreign/Archive.htm")[2])
        self.assertEqual(t32[1][-1], "packages/velonar32-5.45.3-foreign.msi")
        self.assertEqual(t64[1][-1], "packages/velonar64-5.45.3.msi")
        t32, _ = tables(get("/unsigned/Archive.htm")[2])
        self.assertEqual(t32[1][-1], "packages/velonar32-5.45.3.msi")
        self.assertIn(b'href="packages/velonar64-5.46.msi"', get("/unsigned/Download.htm")[2])
        status, headers, _ = get("/tohttp,slow/packages/pkg.bin")
        self.assertEqual(status, 302)
        self.assertEqual(headers["Location"], "http://127.0.0.1:%d/slow/packages/pkg.bin" % PORT)

    def test_status_modes(self):
        for mode, page, status in (("404-download", "Download.htm", 404),
                                   ("500-download", "Download.htm", 500),
                                   ("404-archive", "Archive.htm", 404),
                                   ("500-archive", "Archive.htm", 500)):
            got, headers, body = get("/%s/%s" % (mode, page))
            self.assertEqual(got, status, mode)
            self.assertIn(b"<html>", body)
            other = "Archive.htm" if page == "Download.htm" else "Download.htm"
            self.assertEqual(get("/%s/%s" % (mode, other))[0], 200, mode)

    def test_unknown_modes_are_refused(self):
        for modes in ("bogus", "ok,bogus", "OK", "slow=0", "slow=x", "rows=100001", "rows=-1", ""):
            self.assertEqual(get("/%s/Download.htm" % modes)[0], 400, modes)
        self.assertEqual(get("/ok/Nothing.htm")[0], 404)
        self.assertEqual(get("/ok/")[0], 404)

    def test_noclen(self):
        head, body, error = raw_get("/noclen/Download.htm")
        self.assertIsNone(error)
        self.assertIn(" 200 ", head.splitlines()[0])
        self.assertIsNone(header(head, "Content-Length"))
        self.assertEqual(header(head, "Connection"), "close")
        self.assertEqual(body, get("/ok/Download.htm")[2])
        head, body, error = raw_get("/noclen,404-archive/Archive.htm")
        self.assertIn(" 404 ", head.splitlines()[0])
        self.assertIsNone(header(head, "Content-Length"))

    def test_empty_pages(self):
        for mode, page in (("empty-download", "Download.htm"), ("empty-archive", "Archive.htm")):
            status, headers, body = get("/%s/%s" % (mode, page))
            self.assertEqual((status, headers["Content-Length"], body), (200, "0", b""))

    def test_missing64(self):
        text = get("/missing64/Download.htm")[2].decode()
        self.assertIn('id="vncurrent32"', text)
        self.assertNotIn("vncurrent64", text)

    def test_shortdate(self):
        text = get("/shortdate/Download.htm")[2].decode()
        self.assertIn("<p>Released 2026-1-5</p>", text)
        self.assertNotIn("2026-10-01", text)

    def test_tdheader(self):
        for rows in tables(get("/tdheader/Archive.htm")[2]):
            self.assertEqual([c[0] for c in rows[0][:3]], ["td"] * 3)
            self.assertEqual(rows[0][0][1], "Velonar 5.45.3")
            self.assertEqual(len(rows), 6)

    def test_baddate(self):
        for rows in tables(get("/baddate/Archive.htm")[2]):
            self.assertEqual(rows[1][1][1], "soon")
            self.assertEqual(rows[2][1][1], "2026-04-02")

    def test_rows(self):
        for rows, bits in zip(tables(get("/rows=250/Archive.htm")[2]), ("32", "64")):
            data = rows[1:]
            self.assertEqual(len(data), 250)
            self.assertEqual((data[0][0][1], data[0][1][1]), ("Velonar 4.0.0", "2026-09-30"))
            last = (datetime.date(2026, 9, 30) - datetime.timedelta(days=249)).isoformat()
            self.assertEqual((data[249][0][1], data[249][1][1]), ("Velonar 4.2.49", last))
            self.assertEqual(data[123][-1], "packages/velonar%s-5.45.msi" % bits)
        body = get("/rows=100000/Archive.htm")[2]
        self.assertEqual(body.count(b"<tr><td>"), 200000)
        self.assertEqual(body.count(b"<tr><th>"), 2)
        self.assertEqual(len(tables(get("/rows=0/Archive.htm")[2])[0]), 1)


class Files(unittest.TestCase):
    def test_package_is_the_file(self):
        status, headers, body = get("/ok/packages/pkg.bin")
        self.assertEqual((status, headers["Content-Type"]), (200, "application/octet-stream"))
        self.assertEqual(body, PACKAGE)
        self.assertEqual(get("/ok/packages/velonar32-5.45.3-signed.msi")[2], b"signed")
        for missing in ("/ok/packages/absent.msi", "/ok/packages/..%2Fpkg.bin",
                        "/ok/packages/../root/pkg.bin", "/ok/packages/", "/ok/pkg.bin"):
            self.assertEqual(get(missing)[0], 404, missing)

    def test_head(self):
        status, headers, body = get("/ok/packages/pkg.bin", method="HEAD")
        self.assertEqual((status, int(headers["Content-Length"]), body), (200, len(PACKAGE), b""))

    def test_bytes(self):
        status, headers, body = get("/ok/bytes/1000")
        self.assertEqual((status, headers["Content-Type"]), (200, "application/octet-stream"))
        self.assertEqual(body, pattern(0, 1000))
        body = get("/ok/bytes/3000000")[2]
        self.assertEqual(len(body), 3000000)
        self.assertEqual(body[2999000:], pattern(2999000, 1000))
        status, headers, body = get("/ok/bytes/0")
        self.assertEqual((status, headers["Content-Length"], body), (200, "0", b""))
        self.assertEqual(get("/ok/bytes/x")[0], 404)

    def test_keep_alive(self):
        connection = http.client.HTTPConnection("127.0.0.1", PORT, timeout=10)
        try:
            connection.request("GET", "/ok/Download.htm")
            connection.getresponse().read()
            first = connection.sock
            connection.request("GET", "/ok/bytes/10")
            self.assertEqual(connection.getresponse().read(), pattern(0, 10))
            self.assertIs(connection.sock, first)
        finally:
            connection.close()

    def test_reset(self):
        for path in ("/reset/Download.htm", "/reset/packages/pkg.bin", "/reset/bytes/200000"):
            head, body, error = raw_get(path)
            length = int(header(head, "Content-Length"))
            self.assertIsInstance(error, ConnectionResetError, path)
            self.assertLess(len(body), length, path)
            self.assertEqual(len(body), length // 2, path)
        head, body, error = raw_get("/reset/packages/pkg.bin")
        self.assertEqual(body, PACKAGE[:len(PACKAGE) // 2])

    def test_slow(self):
        started = time.monotonic()
        self.assertEqual(get("/slow=200000/bytes/100000")[2], pattern(0, 100000))
        elapsed = time.monotonic() - started
        self.assertGreater(elapsed, 0.35)   # 5 chunks of 20000 bytes, 100 ms apart
        self.assertLess(elapsed, 1.5)
        started = time.monotonic()
        self.assertEqual(len(get("/slow/bytes/16384")[2]), 16384)
        self.assertGreater(time.monotonic() - started, 0.28)  # 4 chunks of 4096 bytes

    def test_slow_download_does_not_block_others_and_can_be_cancelled(self):
        with socket.create_connection(("127.0.0.1", PORT), timeout=10) as slow:
            slow.sendall(b"GET /slow/packages/pkg.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            self.assertTrue(slow.recv(65536).startswith(b"HTTP/1.1 200 "))
            started = time.monotonic()
            self.assertEqual(get("/ok/Download.htm")[0], 200)
            self.assertLess(time.monotonic() - started, 0.5)
        # closed after a few chunks: the server notices at its next write and logs what it sent
        line = wait_for_log_line(r"/slow/packages/pkg\.bin 200 (\d+)")
        self.assertLess(int(line.group(1)), len(PACKAGE))


class Ranges(unittest.TestCase):
    def test_parts_and_their_conditions(self):
        status, headers, whole = get("/ok/packages/pkg.bin")
        etag, modified = headers["ETag"], headers["Last-Modified"]
        size = len(PACKAGE)
        cases = [  # (path, request headers, status, Content-Range, body)
            ("/ok/packages/pkg.bin", {"Range": "bytes=1000-"}, 206,
             "bytes 1000-%d/%d" % (size - 1, size), PACKAGE[1000:]),
            ("/ok/packages/pkg.bin", {"Range": "bytes=10-19", "If-Range": etag}, 206,
             "bytes 10-19/%d" % size, PACKAGE[10:20]),
            ("/ok/packages/pkg.bin", {"Range": "bytes=10-", "If-Range": modified}, 206,
             "bytes 10-%d/%d" % (size - 1, size), PACKAGE[10:]),
            ("/ok/packages/pkg.bin", {"Range": "bytes=10-", "If-Range": '"other"'}, 200, None, PACKAGE),
            ("/ok/packages/pkg.bin", {"Range": "bytes=%d-" % size, "If-Range": etag}, 416,
             "bytes */%d" % size, b""),
            ("/ok/packages/pkg.bin", {"Range": "bytes=-5"}, 200, None, PACKAGE),
            ("/norange/packages/pkg.bin", {"Range": "bytes=10-", "If-Range": etag}, 200, None, PACKAGE),
            ("/ok/bytes/1000.msi", {"Range": "bytes=900-", "If-Range": '"bytes-1000"'}, 206,
             "bytes 900-999/1000", pattern(900, 100)),
        ]
        for path, asked, expected, content_range, body in cases:
            status, headers, received = get(path, headers=asked)
            self.assertEqual((status, headers["Content-Range"], received), (expected, content_range, body),
                             (path, asked))
        self.assertEqual(whole, PACKAGE)
        self.assertEqual(get("/ok/bytes/10")[1]["ETag"], '"bytes-10"')
        self.assertNotIn("Accept-Ranges", get("/norange/bytes/10")[1])

    def test_404_package_has_a_long_error_page(self):
        status, headers, body = get("/404-package/packages/pkg.bin")
        self.assertEqual(status, 404)
        self.assertGreater(len(body), 300000)

    def test_cut_closes_cleanly_before_the_length(self):
        head, body, error = raw_get("/cut/packages/pkg.bin")
        self.assertIsNone(error)
        self.assertEqual(int(header(head, "Content-Length")), len(PACKAGE))
        self.assertEqual(body, PACKAGE[:len(PACKAGE) // 2])

    def test_cutonce_cuts_the_first_answer_and_renew_changes_validators(self):
        token = "t%d" % os.getpid()
        first = raw_get("/cutonce=%s/bytes/1000" % token)
        self.assertEqual(len(first[1]), 500)
        status, headers, body = get("/cutonce=%s/bytes/1000" % token, headers={"Range": "bytes=500-"})
        self.assertEqual((status, body), (206, pattern(500, 500)))
        renewed = "/cutonce=%s,renew/bytes/1000" % token
        etag = header(raw_get(renewed)[0], "ETag")
        status, headers, body = get(renewed, headers={"Range": "bytes=500-", "If-Range": etag})
        self.assertEqual((status, body), (200, pattern(0, 1000, 3)))  # the fourth answer: replaced three times
        self.assertNotEqual(headers["ETag"], etag)
        self.assertEqual(get("/cutonce=bad!/bytes/1")[0], 400)

    def test_validator_and_range_modes(self):
        etag, modified = '"bytes-10000"', "Thu, 01 Jan 2026 00:00:00 GMT"
        cases = [  # (modes, request headers, status, ETag, Content-Range)
            ("weaketag", {}, 200, "W/" + etag, None),
            ("weaketag", {"Range": "bytes=10-", "If-Range": "W/" + etag}, 200, "W/" + etag, None),
            ("noetag", {"Range": "bytes=10-", "If-Range": modified}, 206, None, "bytes 10-9999/10000"),
            ("noetag", {"Range": "bytes=10-", "If-Range": etag}, 200, None, None),
            ("blindrange", {"Range": "bytes=10-", "If-Range": '"other"'}, 206, etag, "bytes 10-9999/10000"),
            ("overlap", {"Range": "bytes=5000-"}, 206, etag, "bytes 4000-9999/10000"),
        ]
        for modes, asked, expected, tag, content_range in cases:
            status, headers, body = get("/%s/bytes/10000" % modes, headers=asked)
            self.assertEqual((status, headers["ETag"], headers["Content-Range"], headers["Last-Modified"]),
                             (expected, tag, content_range, modified), (modes, asked))
            first = int(content_range.split()[1].split("-")[0]) if content_range else 0
            self.assertEqual(body, pattern(first, 10000 - first))
            self.assertIsNotNone(headers["Date"])

    def test_chunked_bodies_end_with_the_last_chunk_unless_cut(self):
        for modes, whole in (("chunked", True), ("chunked,cut", False)):
            head, body, error = raw_get("/%s/bytes/300000" % modes, "Connection: close\r\n")
            self.assertIsNone(error)
            self.assertEqual((header(head, "Transfer-Encoding"), header(head, "Content-Length")), ("chunked", None))
            self.assertEqual(unchunked(body), (pattern(0, 300000 if whole else 150000), whole), modes)

    def test_stall_sends_headers_only_until_the_client_leaves(self):
        with socket.create_connection(("127.0.0.1", PORT), timeout=10) as s:
            s.sendall(b"GET /stall/bytes/1000 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            head = s.recv(65536)
            self.assertTrue(head.startswith(b"HTTP/1.1 200 ") and head.endswith(b"\r\n\r\n"), head)
            s.settimeout(0.5)
            self.assertRaises(socket.timeout, s.recv, 1)
        wait_for_log_line(r"/stall/bytes/1000 200 0")


class Hostile(unittest.TestCase):
    def test_links_and_answers(self):
        t32, t64 = tables(get("/hostile/Archive.htm")[2])
        for rows in (t32, t64):
            links = [r[-1] for r in rows[1:]]
            self.assertEqual(links[:8], website.HOSTILE_LINKS)
            self.assertEqual(len(links), 8 + 6)
            self.assertTrue(all(l.startswith("packages/velonar") for l in links[8:]))
        # as sent unresolved, and as a client that resolves dot segments would send them
        paths = ["/hostile/" + link for link in website.HOSTILE_LINKS] + [
            "/hostile/evil1.msi", "/hostile/packages/evil4.msi", "/evil6.msi"]
        for path in paths:
            status, headers, body = get(path)
            self.assertEqual(status, 200, path)
            self.assertTrue(body.startswith(b"not a package"), path)
        for path in paths:
            wait_for_log_line(re.escape(path) + r" 200 \d+")


class RequestLog(unittest.TestCase):
    def test_lines(self):
        get("/ok/bytes/1234")
        get("/nosuchmode/Download.htm")
        get("/ok/packages/absent.msi")
        raw_get("/reset/bytes/1000")
        # a line is written once its response is over, which can be just after the client's end
        wait_for_log_line(r"/ok/bytes/1234 200 1234")
        wait_for_log_line(r"/nosuchmode/Download\.htm 400 [1-9]\d*")
        wait_for_log_line(r"/ok/packages/absent\.msi 404 [1-9]\d*")
        wait_for_log_line(r"/reset/bytes/1000 200 500")


class Lifetime(unittest.TestCase):
    def test_catalogue_and_idle_exit(self):
        catalogue = os.path.join(WORK, "catalogue.json")
        with open(catalogue, "w") as f:
            json.dump({"current": {"version": "7.1", "date": "2030-01-02",
                                   "file32": "v32.msi", "file64": "v64.msi"},
                       "archive": [{"version": "7.0", "date": "2029-12-01", "note": "a & b",
                                    "file32": "old32.msi"}]}, f)
        port_file, port, pid = start_server("idle", "--catalogue", catalogue, "--idle-exit", "1.5")
        text = get("/ok/Download.htm", port=port)[2].decode()
        self.assertIn('<a href="packages/v32.msi"', text)
        self.assertIn("Velonar 7.1 for Windows", text)
        t32, t64 = tables(get("/ok/Archive.htm", port=port)[2])
        self.assertEqual(t32[1][:3], [("td", "Velonar 7.0"), ("td", "2029-12-01"), ("td", "a & b")])
        self.assertEqual(len(t64), 1)
        started = time.monotonic()
        self.assertTrue(wait_gone(pid, 5))
        self.assertGreater(time.monotonic() - started, 1.0)
        self.assertFalse(os.path.exists(port_file))
        self.assertFalse(os.path.exists(port_file + ".pid"))
        self.assertEqual(run("stop", "--port-file", port_file).returncode, 0)

    def test_parent_exit(self):
        parent = subprocess.Popen(["sleep", "30"])
        try:
            port_file, port, pid = start_server("parent", "--parent", str(parent.pid))
            self.assertEqual(get("/ok/bytes/1", port=port)[0], 200)
        finally:
            parent.kill()
            parent.wait()
        self.assertTrue(wait_gone(pid, 3))

    def test_stop(self):
        port_file, port, pid = start_server("stop")
        self.assertEqual(get("/ok/bytes/1", port=port)[0], 200)
        self.assertEqual(run("stop", "--port-file", port_file).returncode, 0)
        self.assertTrue(wait_gone(pid, 1))
        self.assertFalse(os.path.exists(port_file))
        self.assertFalse(os.path.exists(port_file + ".pid"))
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", port), timeout=2).close()
        self.assertEqual(run("stop", "--port-file", port_file).returncode, 0)

    def test_start_again_replaces_the_running_server(self):
        port_file, port, pid = start_server("again")
        port_file, port2, pid2 = start_server("again")
        try:
            self.assertTrue(wait_gone(pid, 1))
            self.assertEqual(get("/ok/bytes/1", port=port2)[0], 200)
        finally:
            run("stop", "--port-file", port_file)

    def test_start_failure_is_reported(self):
        result = run("start", "--port-file", os.path.join(WORK, "bad.port"),
                     "--root", os.path.join(WORK, "no such folder"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("no such folder", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(WORK, "bad.port")))


if __name__ == "__main__":
    unittest.main()
