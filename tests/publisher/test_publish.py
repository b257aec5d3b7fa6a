"""qelmora-publish on trees of every kind: the list it writes, the signed digests, and what it refuses."""
import calendar
import hashlib
import os
import shutil
import subprocess
import time
import unittest

from tools import PUBLISH, SAMPLE, list_line, make_key, make_tree, run, scratch


class Publish(unittest.TestCase):
    def setUp(self):
        self.work = scratch("publish")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.product = make_tree(os.path.join(self.work, "product"), SAMPLE)

    def read(self, name):
        with open(os.path.join(self.product, name), "rb") as f:
            return f.read()

    def test_list_is_sorted_code_page_936_crlf_and_the_same_every_run(self):
        os.makedirs(os.path.join(self.product, "空的"))
        os.symlink("Termview.exe", os.path.join(self.product, "link.exe"))
        rc, out = run([PUBLISH, self.product])
        self.assertEqual(rc, 0, out)
        expected = b"".join(l + b"\r\n" for l in sorted(list_line(n) for n in SAMPLE))
        self.assertEqual(self.read("list.txt"), expected)
        self.assertIn("skipped: link.exe: a symbolic link", out)
        self.assertIn("skipped: 空的/: an empty folder", out)
        self.assertIn("list.txt: %d files, %d bytes" % (len(SAMPLE), sum(map(len, SAMPLE.values()))), out)
        # Its own files are not product files: a second run writes the same bytes.
        rc, _ = run([PUBLISH, self.product])
        self.assertEqual(self.read("list.txt"), expected)

    def test_key_writes_the_header_digests_of_every_line_and_a_signature_openssl_verifies(self):
        private, public = make_key(self.work, "publisher")
        before = int(time.time())
        rc, out = run([PUBLISH, self.product, "--key", private])
        after = int(time.time())
        self.assertEqual(rc, 0, out)
        lines = sorted(list_line(n) for n in SAMPLE)
        by_line = {list_line(n): d for n, d in SAMPLE.items()}
        expected = b"".join(b"%s  %d  %s\n" % (hashlib.sha256(by_line[l]).hexdigest().encode(), len(by_line[l]), l)
                             for l in lines)
        written = self.read("list.sha256").split(b"\n", 4)
        self.assertEqual(written[0], b"qelmora-list 2")
        version = int(written[1].split(b" ")[1])
        self.assertTrue(before <= version <= after, written[1])   # the publishing time: each publish is newer
        expires = calendar.timegm(time.strptime(written[2].decode(), "expires %Y-%m-%dT%H:%M:%SZ"))
        self.assertTrue(version + 30 * 86400 <= expires <= after + 30 * 86400, written[2])
        self.assertEqual(written[3], b"list.txt " + hashlib.sha256(self.read("list.txt")).hexdigest().encode())
        self.assertEqual(written[4], expected)
        self.assertIn("list.sha256: version %d, expires %s" % (version, written[2].decode()[8:]), out)
        digests = os.path.join(self.product, "list.sha256")
        verify = subprocess.run(["openssl", "dgst", "-sha256", "-verify", public, "-signature", digests + ".sig",
                                 digests], stdout=subprocess.PIPE, timeout=30)
        self.assertEqual(verify.returncode, 0, verify.stdout)
        # Publishing again without the key removes digests that would no longer match a changed list.
        with open(os.path.join(self.product, "new.txt"), "wb") as f:
            f.write(b"new")
        rc, out = run([PUBLISH, self.product])
        self.assertEqual(rc, 0, out)
        self.assertFalse(os.path.exists(digests) or os.path.exists(digests + ".sig"))

    def test_version_and_expiry_as_asked_and_never_a_time_already_past(self):
        private, _ = make_key(self.work, "publisher")

        def header(*args):
            rc, out = run([PUBLISH, self.product, "--key", private] + list(args))
            self.assertEqual(rc, 0, out)
            return self.read("list.sha256").split(b"\n")[1:3]

        version, expires = header("--version", "42", "--expires", "12h")
        self.assertEqual(version, b"version 42")
        left = calendar.timegm(time.strptime(expires.decode(), "expires %Y-%m-%dT%H:%M:%SZ")) - time.time()
        self.assertTrue(12 * 3600 - 60 < left <= 12 * 3600, expires)
        self.assertEqual(header("--version", "9223372036854775807", "--expires", "2099-12-31T23:59:59Z"),
                         [b"version 9223372036854775807", b"expires 2099-12-31T23:59:59Z"])
        self.assertEqual(header("--expires", "7d")[1][:8], b"expires ")
        # A list that holds for more than 90 days can be replayed that long: said, not refused.
        for life, warned in (("90d", False), ("91d", True)):
            rc, out = run([PUBLISH, self.product, "--key", private, "--expires", life])
            self.assertEqual((rc, "warning: --expires " + life in out), (0, warned), out)
        before = self.read("list.sha256")
        for bad in (["--expires", "2020-01-01T00:00:00Z"], ["--expires", "0h"], ["--expires", "30"],
                    ["--expires", "2099-02-30T00:00:00Z"], ["--version", "0"], ["--version", "012"],
                    ["--version", "9223372036854775808"], ["--version", "-1"], ["--version"]):
            rc, out = run([PUBLISH, self.product, "--key", private] + bad)
            self.assertEqual(rc, 2, (bad, out))
        self.assertEqual(self.read("list.sha256"), before, "a refused run writes nothing")

    def test_outputs_are_never_written_through_a_link(self):
        private, _ = make_key(self.work, "publisher")
        outside = os.path.join(self.work, "outside")
        os.makedirs(outside)
        victims = {}
        for name in ("list.txt", "list.txt.new", "list.sha256.new", "list.sha256.sig.new", "list.sha256.sig"):
            victim = os.path.join(outside, name + ".victim")
            with open(victim, "wb") as f:
                f.write(b"keep me")
            os.symlink(victim, os.path.join(self.product, name))
            victims[name] = victim
        rc, out = run([PUBLISH, self.product, "--key", private])
        self.assertEqual(rc, 0, out)
        for name, victim in victims.items():
            with open(victim, "rb") as f:
                self.assertEqual(f.read(), b"keep me", name)
        for name in ("list.txt", "list.sha256", "list.sha256.sig"):
            self.assertFalse(os.path.islink(os.path.join(self.product, name)), name)
        self.assertTrue(self.read("list.sha256").startswith(b"qelmora-list 2\n"))
        leftovers = [n for n in os.listdir(self.product) if ".new-" in n]
        self.assertEqual(leftovers, [])
        # The files it writes are readable by a web server's workers, as files written under the umask.
        self.assertEqual(os.stat(os.path.join(self.product, "list.txt")).st_mode & 0o044, 0o044)

    def test_server_dir_holds_the_names_the_installer_asks_for(self):
        server = os.path.join(self.work, "server", "Lineinstall_qmra")
        rc, out = run([PUBLISH, self.product, "--server-dir", server])
        self.assertEqual(rc, 0, out)
        for name, data in SAMPLE.items():
            with open(os.path.join(server.encode(), name.encode("gbk")), "rb") as f:
                self.assertEqual(f.read(), data, name)
        with open(os.path.join(server, "list.txt"), "rb") as f:
            self.assertEqual(f.read(), self.read("list.txt"))
        # A folder that holds anything is never written into.
        rc, out = run([PUBLISH, self.product, "--server-dir", server])
        self.assertEqual(rc, 2, out)

    def test_keys_the_installer_cannot_use_are_refused_before_anything_is_written(self):
        rsa = os.path.join(self.work, "rsa.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024", "-out", rsa],
                       check=True, timeout=60, stderr=subprocess.DEVNULL)
        for key in (rsa, os.path.join(self.work, "missing.pem")):
            rc, out = run([PUBLISH, self.product, "--key", key])
            self.assertEqual(rc, 2, out)
        self.assertFalse(os.path.exists(os.path.join(self.product, "list.txt")))
        self.assertEqual(run([PUBLISH])[0], 2)
        self.assertEqual(run([PUBLISH, os.path.join(self.work, "no-such-folder")])[0], 2)


class Refusals(unittest.TestCase):
    """Every file that would not install gets one line naming it and why; nothing is written."""

    OFFENDERS = {
        "LICENSE": "no \".\" in its path",
        "bin/tool": "no \".\" in its path",
        "笑脸😀.txt": "no code page 936 (GBK) form",
        "é\udcff.txt": "no code page 936 (GBK) form",
        "CON.txt": "a device name",
        "drivers/lpt1.sys": "a device name",
        "old.dll.~qdl": "the download suffix",
        "trailing.": "ends in a dot or a space",
        "space.txt ": "ends in a dot or a space",
        "what?.txt": "cannot hold",
        "pipe|.txt": "cannot hold",
        "stream:x.txt": "holds ':'",
        "back\\slash.txt": "folder separator",
        "Readme.TXT": None,   # sorts before readme.txt, which is then the one refused
        "\uff21.dll": None,    # full-width A: sorts before full-width a, the same file on NTFS
        "\u0410.txt": None,    # Cyrillic A, the same file as Cyrillic a
        "unload.bat": "the installer's own files",
        "LIST.TXT": "the installer's own files",
        "deep/" + "d" * 150 + "/" + "e" * 80 + ".txt": "does not fit 259 bytes",
    }

    def test_each_offending_file_is_named_once_and_nothing_is_written(self):
        work = scratch("refusals")
        self.addCleanup(shutil.rmtree, work, True)
        files = dict(SAMPLE)
        long_ok = "ok/" + "w" * (259 - 25 - 7) + ".txt"   # exactly 259 bytes below the default folder
        files[long_ok] = b"fits, with a warning"
        files["\uff41.dll"] = b"full-width a"
        files["\u0430.txt"] = b"Cyrillic a"
        files["sub/unload.bat"] = b"an ordinary file below the install folder"
        product = os.path.join(work, "product")
        make_tree(product, files)
        for name in self.OFFENDERS:
            path = os.path.join(product.encode(), name.encode("utf-8", "surrogateescape"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(b"x")
        with open(os.path.join(product, "list.txt"), "wb") as f:
            f.write(b"the old list\r\n")
        rc, out = run([PUBLISH, product])
        self.assertEqual(rc, 1, out)
        refused = [l for l in out.splitlines() if l.startswith("refused: ")]
        self.assertEqual(len(refused), len(self.OFFENDERS), out)
        for name, why in self.OFFENDERS.items():
            shown = name.encode("utf-8", "surrogateescape").decode("utf-8", "replace")
            if why is None:
                twin = {"Readme.TXT": "readme.txt", "\uff21.dll": "\uff41.dll", "\u0410.txt": "\u0430.txt"}[name]
                shown, why = twin, "the same file on Windows as " + name
            match = [l for l in refused if l.startswith("refused: " + shown + ": ")]
            self.assertEqual(len(match), 1, (name, out))
            self.assertIn(why, match[0])
        self.assertIn("warning: " + long_ok + ": 259 bytes", out)
        self.assertIn("%d problems; nothing written" % len(self.OFFENDERS), out)
        with open(os.path.join(product, "list.txt"), "rb") as f:
            self.assertEqual(f.read(), b"the old list\r\n")
        self.assertEqual(sorted(n for n in os.listdir(product) if n.startswith("list.")), ["list.txt"])


if __name__ == "__main__":
    unittest.main()
