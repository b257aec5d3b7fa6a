"""qelmora-check against nginx and a fault server: it passes a good server and finds every planted fault."""
import hashlib
import os
import shutil
import subprocess
import sys
import time
import unittest

from tools import CHECK, PUBLISH, ROOT, SAMPLE, list_line, make_key, make_tree, run, scratch

sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import harness  # noqa: E402


class CheckServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = scratch("check")
        cls.private, cls.public = make_key(cls.work, "publisher")
        cls.other_private, _ = make_key(cls.work, "other")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def serve(self, files=SAMPLE, key=None, extra_lines=b""):
        """The product published into a fresh server folder and served by nginx: the list's address."""
        product = make_tree(os.path.join(self.work, "product"), files)
        root = os.path.join(self.work, "root")
        shutil.rmtree(root, ignore_errors=True)
        self.server_dir = os.path.join(root, "Lineinstall_qmra")
        rc, out = run([PUBLISH, product, "--server-dir", self.server_dir] + (["--key", key] if key else []))
        self.assertEqual(rc, 0, out)
        if extra_lines:
            with open(os.path.join(self.server_dir, "list.txt"), "ab") as f:
                f.write(extra_lines)
        port = harness.free_port()
        nginx = harness.Nginx(root, port)
        self.addCleanup(nginx.close)
        self.nginx = nginx
        return "http://127.0.0.1:%d/Lineinstall_qmra/list.txt" % port

    def served(self, name):
        return os.path.join(self.server_dir.encode(), name.encode("gbk"))

    def check(self, url, *args):
        rc, out = run([CHECK, url] + list(args))
        return rc, out.splitlines()

    def test_a_good_signed_server_passes_with_every_line_reported(self):
        url = self.serve(key=self.private)
        rc, lines = self.check(url, "--key", self.public, "--jobs", "3")
        self.assertEqual(rc, 0, lines)
        total = sum(map(len, SAMPLE.values()))
        self.assertEqual(lines[-1], "%d files, %d bytes, 0 problems" % (len(SAMPLE), total))
        time_left = r"^signed   list\.sha256: version \d+, expires \S+Z \((29 days 23|30 days 0) hours left\)$"
        self.assertRegex(lines[1], time_left)
        self.assertEqual(lines[2], "signed   list.sha256: %d files, the signature verifies" % len(SAMPLE))
        oks = [l for l in lines if l.startswith("ok       ")]
        self.assertEqual(len(oks), len(SAMPLE))
        self.assertIn("ok       文档\\用户手册.txt: 200, %d bytes" % len(SAMPLE["文档/用户手册.txt"]), lines)
        # Requests as the installer makes them: HTTP/1.0, its user agent, escaped as it escapes.
        log = self.nginx.access_log()
        self.assertIn('"GET /Lineinstall_qmra/100%25%20sure.txt HTTP/1.0" 200', log)
        self.assertIn('"GET /Lineinstall_qmra/plugins.d/helper HTTP/1.0" 200', log)
        self.assertIn('"QelmoraSetup"', log)
        self.assertNotIn("\r", "\n".join(lines), "no progress line when the output is not a terminal")
        # The same report, in list order, one download at a time (the time left may have crossed an hour since).
        again_rc, again = self.check(url, "--key", self.public, "--jobs", "1")
        self.assertRegex(again[1], time_left)
        self.assertEqual((again_rc, again[:1] + again[2:]), (rc, lines[:1] + lines[2:]))

    def test_a_missing_file_and_a_changed_byte_are_problems(self):
        url = self.serve(key=self.private)
        os.remove(self.served("bin/tools/convert.dll"))
        with open(self.served("文档/用户手册.txt"), "r+b") as f:
            f.write(b"X")
        with open(self.served("readme.txt"), "ab") as f:
            f.write(b"!")
        rc, lines = self.check(url, "--key", self.public)
        self.assertEqual(rc, 1, lines)
        self.assertIn("FAILED   bin\\tools\\convert.dll: status 404", lines)
        self.assertIn("FAILED   文档\\用户手册.txt: SHA-256 differs from list.sha256", lines)
        size = len(SAMPLE["readme.txt"])
        self.assertIn("FAILED   readme.txt: %d bytes where list.sha256 names %d" % (size + 1, size), lines)
        self.assertEqual(lines[-1], "%d files, %d bytes, 3 problems" % (
            len(SAMPLE), sum(len(d) for n, d in SAMPLE.items()
                             if n not in ("bin/tools/convert.dll", "文档/用户手册.txt", "readme.txt"))))
        # Without the key a changed byte or size cannot be told: only the missing file is a problem.
        rc, lines = self.check(url)
        self.assertEqual((rc, lines[-1].endswith(", 1 problems")), (1, True), lines)

    def test_side_files_that_do_not_verify_mean_nothing_would_be_installed(self):
        url = self.serve(key=self.other_private)
        rc, lines = self.check(url, "--key", self.public)
        self.assertEqual(rc, 1)
        self.assertIn("FAILED   list.sha256.sig is not a signature of list.sha256 by this key; "
                      "the installer would fetch nothing", lines)
        url = self.serve(key=self.private, extra_lines=b"late.txt\r\n")
        with open(os.path.join(self.server_dir, "late.txt"), "wb") as f:
            f.write(b"late")
        rc, lines = self.check(url, "--key", self.public)
        self.assertEqual(rc, 1)
        self.assertIn("FAILED   list.txt is not the list whose SHA-256 list.sha256 names; the installer would fetch "
                      "nothing", lines)
        url = self.serve()
        rc, lines = self.check(url, "--key", self.public)
        self.assertIn("FAILED   list.sha256: status 404; the installer would fetch nothing", lines)

    def resign(self, header_lines, key=None):
        """list.sha256 on the server with other header lines, signed with openssl as a publisher could."""
        path = os.path.join(self.server_dir, "list.sha256")
        with open(path, "rb") as f:
            body = f.read().split(b"\n", 4)[4]
        with open(path, "wb") as f:
            f.write(b"".join(l + b"\n" for l in header_lines) + body)
        subprocess.run(["openssl", "dgst", "-sha256", "-sign", key or self.private, "-out", path + ".sig", path],
                       check=True, timeout=30)

    def header(self, expires, version=5):
        with open(os.path.join(self.server_dir, "list.txt"), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        return [b"qelmora-list 2", b"version %d" % version,
                time.strftime("expires %Y-%m-%dT%H:%M:%SZ", time.gmtime(expires)).encode(),
                b"list.txt " + digest.encode()]

    def test_expiry_is_reported_and_an_expired_list_fails(self):
        url = self.serve(key=self.private)
        now = int(time.time())
        self.resign(self.header(now + 3 * 86400 + 600, version=77))
        rc, lines = self.check(url, "--key", self.public)
        self.assertEqual(rc, 0, lines)
        self.assertRegex(lines[1], r"^signed   list\.sha256: version 77, expires \S+ \(3 days 0 hours left\)$")
        self.assertIn("warning  the list expires in less than 7 days: publish it again (qelmora-publish --key)", lines)

        self.resign(self.header(now - 2 * 3600))
        rc, lines = self.check(url, "--key", self.public)
        self.assertEqual(rc, 1, lines)
        self.assertRegex(lines[1], r"^signed   list\.sha256: version 5, expires \S+ \(expired 2 hours 0 minutes ago\)$")
        self.assertIn("FAILED   the list has expired; the installer would fetch nothing", lines)
        self.assertTrue(lines[-1].endswith(", 1 problems"), lines)

        good = self.header(now + 86400)
        for name, header in [("a line missing", good[:1] + good[2:]), ("reordered", [good[0], good[2], good[1], good[3]]),
                             ("another list", good[:3] + [b"list.txt " + b"0" * 64]),
                             ("the format without sizes", [b"qelmora-list 1"] + good[1:])]:
            with self.subTest(name):
                self.resign(header)
                rc, lines = self.check(url, "--key", self.public)
                self.assertEqual(rc, 1, lines)
                self.assertTrue(any(l.startswith("FAILED   list.") and l.endswith("the installer would fetch nothing")
                                    for l in lines), lines)
        # Without a key nothing of this is looked at.
        self.assertEqual(self.check(url)[0], 0)

    def test_refused_skipped_and_folder_lines_are_told_apart(self):
        url = self.serve(extra_lines="LICENSE\r\nCON.txt\r\n..\\up.txt\r\n插件.d\\\r\n\r\nUnload.bat\r\n".encode("gbk"))
        rc, lines = self.check(url)
        self.assertEqual(rc, 1)
        self.assertIn("REFUSED  Unload.bat: unload.bat and list.txt in the install folder are the installer's own files",
                      lines)
        self.assertIn('skipped  LICENSE: no "." in its request path, never fetched', lines)
        self.assertTrue(any(l.startswith("REFUSED  CON.txt: a device name") for l in lines), lines)
        self.assertIn("REFUSED  ..\\up.txt: holds a '..' component", lines)
        self.assertIn("folder   插件.d\\", lines)
        self.assertIn("skipped  (line %d is empty)" % (len(SAMPLE) + 5), lines)
        self.assertTrue(lines[-1].endswith(", 3 problems"), lines)

    def test_manifest_that_cannot_be_had_ends_the_check(self):
        url = self.serve()
        rc, lines = self.check(url.replace("list.txt", "nothing.txt"))
        self.assertEqual(rc, 1)
        self.assertEqual(lines[-1], "0 files, 0 bytes, 1 problems")
        self.assertEqual(self.check("not-an-address")[0], 2)


class CheckFaults(unittest.TestCase):
    """Answers nginx never gives: a short body, a redirect, a server that stops answering."""

    def test_short_body_redirect_and_silence(self):
        prefix = "/Lineinstall_qmra/"
        names = ["short.dll", "moved.dll", "silent.dll", "whole.dll", "nolength.dll", "part.dll"]
        routes = {
            prefix + "list.txt": {"body": b"\r\n".join(n.encode() for n in names)},
            prefix + "short.dll": {"body": b"x" * 100, "length": 200},
            prefix + "moved.dll": {"status": 302, "headers": {"Location": "/elsewhere.dll"}},
            prefix + "silent.dll": {"mode": "silent", "seconds": 6},
            prefix + "whole.dll": {"body": b"y" * 50},
            prefix + "nolength.dll": {"body": b"z" * 10, "length": None},
            # A part of a file to a plain GET: the installer keeps no such body.
            prefix + "part.dll": {"status": 206, "body": b"p" * 20, "headers": {"Content-Range": "bytes 0-19/40"}},
        }
        server = harness.FaultServer(routes=routes)
        self.addCleanup(server.close)
        rc, out = run([CHECK, "http://127.0.0.1:%d%slist.txt" % (server.port, prefix), "--timeout", "2",
                       "--jobs", "5"])
        lines = out.splitlines()
        self.assertEqual(rc, 1, out)
        self.assertIn("FAILED   short.dll: short body: 100 of 200 bytes", lines)
        self.assertIn("FAILED   moved.dll: status 302", lines)
        self.assertTrue(any(l.startswith("FAILED   silent.dll: no answer: ") for l in lines), lines)
        self.assertIn("ok       whole.dll: 200, 50 bytes", lines)
        self.assertIn("ok       nolength.dll: 200, 10 bytes, no Content-Length (a cut body could not be told)", lines)
        self.assertIn("FAILED   part.dll: status 206", lines)
        self.assertEqual(lines[-1], "6 files, 60 bytes, 4 problems")
        request = server.requests[-1]
        self.assertTrue(request["line"].endswith(" HTTP/1.0"))
        self.assertEqual(sorted(request["header_names"]), ["Host", "User-Agent"])


if __name__ == "__main__":
    unittest.main()
