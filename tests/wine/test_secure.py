"""Only the publisher's bytes: installs over https and with a signed file list, under Wine against nginx.

Runs the extra builds of the installer: one whose manifest address is https (QELMORA_WINDOWS_HTTPS_BUILD_DIR)
and one with a test key built in (QELMORA_WINDOWS_SIGNED_BUILD_DIR). The certificate authority and the keys
are made here with openssl; the authority is trusted only inside this module's Wine prefix.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
import urllib.parse

import harness
from harness import Nginx
from installer_case import SELF_DELETE, InstallerCase

sys.path.insert(0, os.path.join(harness.ROOT, "tests", "publisher"))
from tools import PUBLISH, SAMPLE, make_tree  # noqa: E402

HTTPS_BUILD = os.environ.get("QELMORA_WINDOWS_HTTPS_BUILD_DIR", os.path.join(harness.ROOT, "build", "windows-https"))
SIGNED_BUILD = os.environ.get("QELMORA_WINDOWS_SIGNED_BUILD_DIR",
                              os.path.join(harness.ROOT, "build", "windows-signed"))
TRUST_ROOT = os.path.join(harness.WIN_BUILD, "tests", "tools", "trust_root.exe")
FOLDER = "Lineinstall_qmra"


def cache_value(build_dir, name):
    """A cache variable of a build: what its installer was built with."""
    with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    raise KeyError(name)


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60)


class TestPki:
    """A test authority that the prefix trusts, one that nothing trusts, and server certificates."""

    def __init__(self, folder):
        self.dir = folder
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.trusted_ca = self.authority("trusted-ca", "Qelmora Test Authority")
        self.untrusted_ca = self.authority("untrusted-ca", "Qelmora Unknown Authority")
        self.localhost = self.server("localhost", self.trusted_ca, "localhost")
        self.untrusted_localhost = self.server("untrusted-localhost", self.untrusted_ca, "localhost")
        self.other_host = self.server("other-host", self.trusted_ca, "update.other.example")
        openssl("x509", "-in", self.trusted_ca[0], "-outform", "DER", "-out", self.path("trusted-ca.der"))

    def path(self, name):
        return os.path.join(self.dir, name)

    def authority(self, name, subject):
        cert, key = self.path(name + ".pem"), self.path(name + ".key")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "30",
                "-subj", "/CN=" + subject, "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        return cert, key

    def server(self, name, authority, host):
        key, csr, cert = self.path(name + ".key"), self.path(name + ".csr"), self.path(name + ".pem")
        ext = self.path(name + ".ext")
        with open(ext, "w") as f:
            f.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n" % host)
        openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=" + host)
        openssl("x509", "-req", "-in", csr, "-CA", authority[0], "-CAkey", authority[1], "-CAcreateserial",
                "-out", cert, "-days", "30", "-extfile", ext)
        return cert, key


def fetched(line):
    """The walk fetches a line whose request path has a '.' after its first character."""
    return "." in line


def write_product(root, tree, manifest_lines):
    """The product under root/Lineinstall_qmra/, with list.txt in CR LF; returns that folder."""
    folder = os.path.join(root, FOLDER)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(folder)
    for name, data in tree.items():
        path = os.path.join(folder.encode(), name.replace("\\", "/").encode("gbk"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "list.txt"), "wb") as f:
        f.write(b"".join(line.encode("gbk") + b"\r\n" for line in manifest_lines))
    return folder


def list_header(folder, version=None, expires=None):
    """The four header lines for the served list.txt: by default version now, expiring in a day."""
    with open(os.path.join(folder, "list.txt"), "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    now = int(time.time())
    version = now if version is None else version
    expires = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(now + 86400 if expires is None else expires))
    return ("qelmora-list 2\nversion %d\nexpires %s\nlist.txt %s\n" % (version, expires, digest)).encode()


def sign(folder, private_key):
    openssl("dgst", "-sha256", "-sign", private_key, "-out", os.path.join(folder, "list.sha256.sig"),
            os.path.join(folder, "list.sha256"))


def sign_product(folder, tree, manifest_lines, private_key, header=None):
    """list.sha256 and list.sha256.sig as a publisher makes them with sha256sum, stat and openssl dgst; the header
    is written here too, so that a test can give it any version and expiry, past ones included."""
    digests = b"".join(b"%s  %d  %s\n" % (hashlib.sha256(tree[line]).hexdigest().encode(), len(tree[line]),
                                          line.encode("gbk"))
                       for line in manifest_lines if fetched(line))
    with open(os.path.join(folder, "list.sha256"), "wb") as f:
        f.write((list_header(folder) if header is None else header) + digests)
    sign(folder, private_key)


def requested_paths(nginx):
    """Request paths in the order nginx answered them, unescaped to bytes."""
    paths = re.findall(r'"GET (\S+) HTTP/1\.[01]"', nginx.access_log())
    return [urllib.parse.unquote_to_bytes(p) for p in paths]


def product():
    return {
        "Termview.exe": os.urandom(300_000),
        "data\\skin.bmp": os.urandom(20_000),
        "lib/a.dll": os.urandom(70_000),
        "文档/说明 一.txt": "说明文字".encode("gbk"),
        "big.bin": os.urandom(2 * 1024 * 1024 + 5),
    }


class SecureCase(InstallerCase):
    module = "secure"
    pki = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if SecureCase.pki is None:
            SecureCase.pki = TestPki(os.path.join(cls.wine.base, "pki"))   # made again by every run
        der = "Z:" + cls.pki.path("trusted-ca.der").replace("/", "\\")
        rc, out = cls.wine.run(TRUST_ROOT, [der], name="trust_root")
        assert rc == 0, out

    def product_root(self, name):
        """A folder for the product a test serves; it goes when the test ends."""
        root = os.path.join(self.wine.base, "served-" + name)
        self.addCleanup(shutil.rmtree, root, True)
        return root

    def serve(self, folder_root, port, tls=None):
        server = Nginx(folder_root, port, tls=tls)
        self.servers.append(server)
        return server

    def engine_dir(self):
        """An empty install folder for engine_cli, which self.dir and self.local() then name."""
        self.install_dir = "C:\\qtest\\%s\\" % self._testMethodName[:50]
        self.dir = self.wine.host_path(self.install_dir)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def engine(self, cli, url, fresh=True, options=()):
        """Runs an engine_cli build into the install folder; returns (result, outcome words, output lines)."""
        if fresh:
            self.engine_dir()
        rc, out = self.wine.run(cli, [url, self.install_dir] + list(options), timeout=180, name="engine_cli")
        self.assertEqual(rc, 0, out)
        lines = out.splitlines()
        result = int([l for l in lines if l.startswith("result ")][0].split()[1])
        outcome = [l for l in lines if l.startswith("outcome ")][0].split()[1:]
        return result, outcome, lines

    def engine_file_line(self, relative):
        return harness.batch_file_line(self.install_dir + relative)

    def placed_files(self):
        found = []
        for base, _, names in os.walk(self.dir):
            found += [os.path.relpath(os.path.join(base, n), self.dir) for n in names]
        return sorted(found)

    def assert_installed(self, tree):
        for name, data in tree.items():
            with open(self.local(name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertEqual(self.leftovers(), [])


class Https(SecureCase):
    exe = os.path.join(HTTPS_BUILD, "QelmoraSetup.exe")

    def https_address(self):
        url = urllib.parse.urlsplit(cache_value(HTTPS_BUILD, "QELMORA_MANIFEST_URL"))
        self.assertEqual(url.scheme, "https")
        return url.hostname, url.port or 443, url.geturl()

    def test_the_real_installer_installs_over_https(self):
        host, port, _ = self.https_address()
        self.assertEqual(host, "localhost", "the test certificate names localhost")
        tree = product()
        manifest = list(tree) + ["bin"]
        root = self.product_root("https")
        write_product(root, tree, manifest)
        nginx = self.serve(root, port, tls=self.pki.localhost)

        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003), "finish button shown at the end")
        self.shot("secure-https-finished")
        self.assertFalse(self.visible(1001))
        self.assert_installed(tree)
        self.assertTrue(self.script().startswith(b"".join(self.file_line(n) for n in tree)))
        paths = requested_paths(nginx)
        self.assertEqual(paths[0], b"/Lineinstall_qmra/list.txt")
        self.assertEqual(len(paths), 1 + len(tree), "no side file without a key, every file once")

    def test_a_certificate_the_system_does_not_trust_places_nothing(self):
        _, port, _ = self.https_address()
        tree = {"Termview.exe": os.urandom(50_000), "data/skin.bmp": os.urandom(1000)}
        root = self.product_root("certificates")
        write_product(root, tree, list(tree))
        url = "https://localhost:%d/%s/list.txt" % (port, FOLDER)
        # The engine of the default test build, given an https address, sends secure requests.
        cases = [("trusted", self.pki.localhost, url),
                 ("untrusted authority", self.pki.untrusted_localhost, url),
                 ("another host's name", self.pki.other_host, url),
                 ("an address the certificate does not name", self.pki.localhost, url.replace("localhost", "127.0.0.1"))]
        for name, tls, address in cases:
            with self.subTest(name):
                nginx = Nginx(root, port, tls=tls)
                try:
                    result, outcome, lines = self.engine(harness.ENGINE_CLI, address)
                    paths = requested_paths(nginx)
                finally:
                    nginx.close()
                if name == "trusted":
                    self.assertEqual(result, 1, lines)
                    self.assert_installed(tree)
                    continue
                self.assertEqual(result, 0, lines)
                self.assertEqual(outcome, ["server-lost", "0"], "refused like a send failure")
                self.assertEqual(paths, [], "not even the manifest is asked for")
                self.assertEqual(self.placed_files(), ["unload.bat"])
                self.assertEqual(self.script(), SELF_DELETE)


class SignedList(SecureCase):
    exe = os.path.join(SIGNED_BUILD, "QelmoraSetup.exe")
    cli = os.path.join(SIGNED_BUILD, "tests", "tools", "engine_cli.exe")

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.key = os.path.join(os.path.dirname(cache_value(SIGNED_BUILD, "QELMORA_MANIFEST_KEY")), "private.pem")
        cls.other_key = os.path.join(cls.wine.base, "other-key.pem")
        openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", cls.other_key)
        address = urllib.parse.urlsplit(cache_value(SIGNED_BUILD, "QELMORA_MANIFEST_URL"))
        cls.port = address.port or 80

    def signed_product(self, tree, manifest, name, **header):
        root = self.product_root(name)
        folder = write_product(root, tree, manifest)
        sign_product(folder, tree, manifest, self.key, list_header(folder, **header) if header else None)
        return root, folder

    def run_engine(self, root, fresh=True, cli=None, options=()):
        nginx = Nginx(root, self.port)
        try:
            url = "http://127.0.0.1:%d/%s/list.txt" % (self.port, FOLDER)
            result, outcome, lines = self.engine(cli or self.cli, url, fresh, options)
            return result, outcome, lines, requested_paths(nginx)
        finally:
            nginx.close()

    def product_requests(self, paths):
        """The product files asked for, sorted, after the list and its two side files."""
        self.assertEqual(paths[:3], [b"/Lineinstall_qmra/list.txt", b"/Lineinstall_qmra/list.sha256",
                                     b"/Lineinstall_qmra/list.sha256.sig"])
        return sorted(p[len(b"/Lineinstall_qmra/"):].decode("gbk") for p in paths[3:])

    def assert_complete(self, tree, manifest, run):
        result, outcome, lines, _ = run
        self.assertEqual((result, outcome), (1, ["complete", "0"]), lines)
        self.assertIn("shortcuts", lines)
        self.assert_installed(tree)
        self.assertEqual(self.script(), b"".join(self.engine_file_line(n) for n in manifest if fetched(n)) + SELF_DELETE,
                         "every file of the list is named, kept or placed, in list order")

    def test_run_again_only_what_changed_is_fetched(self):
        tree = {"f%02d.dll" % i: os.urandom(20_000 + i) for i in range(10)}
        tree["sub\\deep.dat"] = os.urandom(300_000)
        manifest = sorted(tree) + ["sub"]
        root, _ = self.signed_product(tree, manifest, "again")
        self.assert_complete(tree, manifest, self.run_engine(root))

        # The publisher changes two files (one to another size) and adds one: exactly those three come down.
        tree.update({"f03.dll": os.urandom(20_003), "f07.dll": b"shorter now", "new.txt": b"new"})
        manifest.append("new.txt")
        root, _ = self.signed_product(tree, manifest, "again")
        run = self.run_engine(root, fresh=False)
        self.assert_complete(tree, manifest, run)
        self.assertEqual(self.product_requests(run[3]), ["f03.dll", "f07.dll", "new.txt"])

        # Damaged on disk: a byte changed (same size), a file deleted, one cut short.
        with open(self.local("f01.dll"), "r+b") as f:
            f.seek(1000)
            byte = f.read(1)
            f.seek(1000)
            f.write(bytes([byte[0] ^ 1]))
        os.remove(self.local("f05.dll"))
        with open(self.local("sub/deep.dat"), "r+b") as f:
            f.truncate(100_000)
        run = self.run_engine(root, fresh=False)
        self.assert_complete(tree, manifest, run)
        self.assertEqual(self.product_requests(run[3]), ["f01.dll", "f05.dll", "sub/deep.dat"])

        # Unchanged: no product request at all, one file at a time as with the read-ahead.
        for parallel in ("1", "8"):
            run = self.run_engine(root, fresh=False, options=["--parallel", parallel])
            self.assert_complete(tree, manifest, run)
            self.assertEqual(self.product_requests(run[3]), [])

        # A folder at a file's path is never taken for the file: it is fetched, and fails as before.
        os.remove(self.local("f02.dll"))
        os.makedirs(self.local("f02.dll"))
        result, outcome, lines, paths = self.run_engine(root, fresh=False)
        self.assertEqual((result, outcome), (0, ["files-failed", "1"]), lines)
        self.assertEqual(self.product_requests(paths), ["f02.dll"])
        os.rmdir(self.local("f02.dll"))

        # The unsigned build knows no digests: it fetches everything, whatever is in place.
        result, outcome, lines, paths = self.run_engine(root, fresh=False, cli=harness.ENGINE_CLI)
        self.assertEqual((result, outcome), (1, ["complete", "0"]), lines)
        self.assertEqual(sorted(p.decode("gbk") for p in paths[1:]),
                         sorted("/Lineinstall_qmra/" + n.replace("\\", "/") for n in manifest if fetched(n)))
        self.assert_installed(tree)

    def test_after_a_stop_the_next_run_fetches_only_what_was_not_placed(self):
        tree = {"q%02d.bin" % i: os.urandom(40_000) for i in range(12)}
        manifest = sorted(tree)
        root, _ = self.signed_product(tree, manifest, "stopped")
        result, outcome, lines, paths = self.run_engine(root, options=["--stop-after", "5"])
        self.assertEqual((result, outcome[0]), (0, "stopped"), lines)
        placed = [n for n in manifest if os.path.exists(self.local(n))]
        self.assertEqual(placed, manifest[:5], "the lines walked before the stop")
        self.assertEqual(self.leftovers(), [])

        run = self.run_engine(root, fresh=False)
        self.assert_complete(tree, manifest, run)
        self.assertEqual(self.product_requests(run[3]), manifest[5:])

    def test_an_endless_body_stops_at_the_signed_size(self):
        tree = {"a.dll": os.urandom(1024), "b.dll": os.urandom(5000)}
        root, folder = self.signed_product(tree, list(tree), "endless")
        routes = {}
        for name in ("list.txt", "list.sha256", "list.sha256.sig", "b.dll"):
            with open(os.path.join(folder, name), "rb") as f:
                routes["/%s/%s" % (FOLDER, name)] = {"body": f.read()}
        # The right bytes first, then more for ever; and an announced length other than the signed one.
        endless = {"body": tree["a.dll"], "length": None, "mode": "endless"}
        routes["/%s/a.dll" % FOLDER] = endless
        for name, route in (("endless body", endless),
                            ("longer Content-Length", {"body": tree["a.dll"] + b"x" * 10, "length": 1034}),
                            ("shorter Content-Length", {"body": tree["a.dll"], "length": 1000})):
            with self.subTest(name):
                routes["/%s/a.dll" % FOLDER] = dict(route)
                server = harness.FaultServer(port=self.port, routes=routes)
                try:
                    result, outcome, lines = self.engine(self.cli, "http://127.0.0.1:%d/%s/list.txt" % (self.port, FOLDER))
                    calls = [r for r in server.requests if r["path"].endswith("/a.dll")]
                finally:
                    server.close()
                self.assertEqual((result, outcome), (0, ["files-failed", "1"]), lines)
                self.assertFalse(os.path.exists(self.local("a.dll")), "nothing placed")
                self.assertEqual(self.leftovers(), [])
                self.assert_installed({"b.dll": tree["b.dll"]})
                self.assertEqual(len(calls), 5, "each call fails at once; the file gets its calls and no more")
                if route is endless:
                    # Each call ends within a read past the signed size (the server's socket buffers aside).
                    self.assertTrue(all(r["sent"] < 16 * 1024 * 1024 for r in calls), calls)

    def test_the_real_installer_installs_a_signed_product(self):
        tree = product()
        manifest = ["bin"] + list(tree) + [""]
        root, _ = self.signed_product(tree, manifest, "signed-exe")
        nginx = self.serve(root, self.port)

        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        self.shot("secure-signed-finished")
        self.assertFalse(self.visible(1001), "the finished look")
        self.assert_installed(tree)
        self.assertTrue(self.script().startswith(b"".join(self.file_line(n) for n in tree)))
        self.assertFalse(os.path.exists(self.local("list.sha256")))
        paths = requested_paths(nginx)
        self.assertEqual(paths[:3], [b"/Lineinstall_qmra/list.txt", b"/Lineinstall_qmra/list.sha256",
                                     b"/Lineinstall_qmra/list.sha256.sig"])
        self.assertEqual(len(paths), 3 + len(tree))

    def test_a_product_published_with_the_key_installs_through_the_signed_installer(self):
        source = self.product_root("published-source")
        make_tree(source, SAMPLE)
        root = self.product_root("published")
        proc = subprocess.run([PUBLISH, source, "--key", self.key, "--server-dir", os.path.join(root, FOLDER)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stdout)
        self.serve(root, self.port)

        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        self.assertFalse(self.visible(1001), "the finished look: the list verified and every file matched")
        installed = {}
        for base, _, names in os.walk(self.dir):
            for name in names:
                with open(os.path.join(base, name), "rb") as f:
                    installed[os.path.relpath(os.path.join(base, name), self.dir)] = f.read()
        installed.pop("unload.bat")
        self.assertEqual(installed, SAMPLE)

    def test_the_real_installer_ends_unsuccessful_when_the_list_does_not_verify(self):
        tree = {"Termview.exe": os.urandom(10_000)}
        root, folder = self.signed_product(tree, list(tree), "signed-exe-unverified")
        os.remove(os.path.join(folder, "list.sha256.sig"))
        nginx = self.serve(root, self.port)

        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003), "the finish button comes also after a failure")
        self.shot("secure-signed-not-verified")
        self.assertFalse(self.visible(1001))
        self.assertEqual(self.script(), SELF_DELETE)
        self.assertFalse(os.path.exists(self.local("Termview.exe")))
        self.assertFalse(os.path.exists(os.path.join(self.wine.home, "Desktop", "Qelmora.lnk")))
        self.assertEqual(requested_paths(nginx), [b"/Lineinstall_qmra/list.txt", b"/Lineinstall_qmra/list.sha256",
                                                  b"/Lineinstall_qmra/list.sha256.sig"])

    def test_one_changed_byte_fails_that_file_only(self):
        tree = product()
        manifest = list(tree)
        root, folder = self.signed_product(tree, manifest, "one-byte")
        changed = os.path.join(folder, "lib/a.dll")
        with open(changed, "r+b") as f:
            f.seek(40_000)
            byte = f.read(1)
            f.seek(40_000)
            f.write(bytes([byte[0] ^ 1]))
        self.engine_dir()
        os.makedirs(self.local("lib"))
        with open(self.local("lib/a.dll"), "wb") as f:
            f.write(b"the installed version")

        result, outcome, lines, paths = self.run_engine(root, fresh=False)
        self.assertEqual((result, outcome), (0, ["files-failed", "1"]), lines)
        self.assertNotIn("shortcuts", lines)
        with open(self.local("lib/a.dll"), "rb") as f:
            self.assertEqual(f.read(), b"the installed version", "a file that is not the listed one is never placed")
        others = {k: v for k, v in tree.items() if k != "lib/a.dll"}
        self.assert_installed(others)
        expected = b"".join(self.engine_file_line(n) for n in manifest if n != "lib/a.dll") + SELF_DELETE
        self.assertEqual(self.script(), expected)
        # A digest that differs fails the call like a short body: called five times, and the walk goes on
        # (the files after it are in place, above).
        self.assertEqual(paths.count(b"/Lineinstall_qmra/lib/a.dll"), 5)

    def test_a_file_resumed_over_a_breaking_link_is_checked_whole(self):
        tree = {"big.bin": os.urandom(5 * 1024 * 1024 + 3), "small.dll": b"S" * 1000}
        root, _ = self.signed_product(tree, list(tree), "resumed")
        nginx = Nginx(root, self.port)
        relay = harness.BreakingRelay(self.port, 2 * 1024 * 1024)
        try:
            result, outcome, lines = self.engine(self.cli, "http://127.0.0.1:%d/%s/list.txt" % (relay.port, FOLDER))
            log = nginx.access_log()
        finally:
            relay.close()
            nginx.close()
        # The digest was carried over the breaks: the parts of one version hash as the whole file.
        self.assertEqual((result, outcome), (1, ["complete", "0"]), lines)
        self.assert_installed(tree)
        self.assertIn('"GET /Lineinstall_qmra/big.bin HTTP/1.0" 206', log)
        self.assertLessEqual(relay.passed, len(tree["big.bin"]) + 3 * 1024 * 1024)

    def test_the_real_installer_says_when_the_list_has_expired(self):
        tree = {"Termview.exe": os.urandom(10_000)}
        root, _ = self.signed_product(tree, list(tree), "signed-exe-expired", expires=int(time.time()) - 3600)
        nginx = self.serve(root, self.port)

        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003), "the finish button comes also after a failure")
        self.shot("secure-signed-expired")
        self.assertFalse(self.visible(1001))
        self.assertEqual(self.script(), SELF_DELETE)
        self.assertFalse(os.path.exists(self.local("Termview.exe")))
        self.assertEqual(requested_paths(nginx), [b"/Lineinstall_qmra/list.txt", b"/Lineinstall_qmra/list.sha256",
                                                  b"/Lineinstall_qmra/list.sha256.sig"])

    def test_only_the_publishers_current_list_installs(self):
        tree = {"a.dll": b"A" * 1000, "sub/b.dat": b"B" * 2000}
        manifest = ["a.dll", "sub", "sub/b.dat"]
        oldest = int(cache_value(SIGNED_BUILD, "QELMORA_MIN_LIST_VERSION"))
        now = int(time.time())

        def change_list(change):
            """list.txt changed on the way, after the publisher signed it."""
            def apply(folder):
                path = os.path.join(folder, "list.txt")
                with open(path, "rb") as f:
                    data = f.read()
                with open(path, "wb") as f:
                    f.write(change(data))
            return apply

        def signed_header(change):
            """A header that breaks the form, signed with the publisher's key all the same."""
            def apply(folder):
                path = os.path.join(folder, "list.sha256")
                with open(path, "rb") as f:
                    lines = f.read().split(b"\n")
                with open(path, "wb") as f:
                    f.write(b"\n".join(change(lines)))
                sign(folder, self.key)
            return apply

        def nothing(folder):
            pass

        cases = [
            ("expired a minute ago", {"expires": now - 60}, nothing, "list-expired"),
            ("expired years ago", {"expires": 1000000000}, nothing, "list-expired"),
            ("a version under the build's oldest", {"version": oldest - 1}, nothing, "not-verified"),
            ("an added folder line", {}, change_list(lambda d: d + b"junk\\deep\\tree\\\r\n"), "not-verified"),
            ("an added folder line before a file", {}, change_list(lambda d: b"a.dll\\\r\n" + d), "not-verified"),
            ("a changed line end", {}, change_list(lambda d: d.replace(b"\r\n", b"\n", 1)), "not-verified"),
            ("a header line missing", {}, signed_header(lambda l: l[:1] + l[2:]), "not-verified"),
            ("header lines reordered", {}, signed_header(lambda l: [l[0], l[2], l[1]] + l[3:]), "not-verified"),
            ("no header, as lists were signed before", {}, signed_header(lambda l: l[4:]), "not-verified"),
        ]
        side = [b"/Lineinstall_qmra/list.txt", b"/Lineinstall_qmra/list.sha256", b"/Lineinstall_qmra/list.sha256.sig"]
        for name, header, change, end in cases:
            with self.subTest(name):
                root, folder = self.signed_product(tree, manifest, "current", **header)
                change(folder)
                result, outcome, lines, paths = self.run_engine(root)
                self.assertEqual((result, outcome), (0, [end, "0"]), lines)
                self.assertNotIn("shortcuts", lines)
                self.assertEqual(paths, side, "no product file is asked for")
                self.assertEqual(self.placed_files(), ["unload.bat"])
                self.assertEqual(self.script(), SELF_DELETE)

        with self.subTest("one file named in two spellings"):
            twins = {"\uff41.dll": b"lower", "\uff21.dll": b"upper"}   # full-width a and A: one file on NTFS
            root, _ = self.signed_product(twins, list(twins), "twins")
            result, outcome, lines, paths = self.run_engine(root)
            self.assertEqual((result, outcome), (0, ["not-verified", "0"]), lines)
            self.assertEqual(paths, side)
            self.assertEqual(self.placed_files(), ["unload.bat"])

        # The build's oldest version itself, not yet expired, installs (an expiry from the clock now: the cases
        # above can take minutes on a busy machine).
        root, _ = self.signed_product(tree, manifest, "current", version=oldest, expires=int(time.time()) + 3600)
        result, outcome, lines, paths = self.run_engine(root)
        self.assertEqual((result, outcome), (1, ["complete", "0"]), lines)
        self.assert_installed(tree)

    def test_a_list_that_does_not_verify_fetches_nothing_more(self):
        tree = {"a.dll": b"A" * 1000, "sub/b.dat": b"B" * 2000, "c.txt": b"C"}
        manifest = ["a.dll", "sub", "sub/b.dat", "c.txt"]

        def list_txt(lines):
            return b"".join(l.encode() + b"\r\n" for l in lines)

        def change_list(folder, lines):
            with open(os.path.join(folder, "list.txt"), "wb") as f:
                f.write(list_txt(lines))

        def flip_digest(folder):
            path = os.path.join(folder, "list.sha256")
            with open(path, "rb") as f:
                data = bytearray(f.read())
            at = data.index(b"  2000  sub/b.dat\n") - 10   # a digit of the file's digest, after the header
            data[at] = ord("0") if data[at] != ord("0") else ord("1")
            with open(path, "wb") as f:
                f.write(bytes(data))

        def sign_with_other_key(folder):
            openssl("dgst", "-sha256", "-sign", self.other_key, "-out", os.path.join(folder, "list.sha256.sig"),
                    os.path.join(folder, "list.sha256"))

        def write(name, data, mode="wb"):
            def change(folder):
                with open(os.path.join(folder, name), mode) as f:
                    f.write(data)
            return change

        tree["extra.dll"] = b"X"
        changes = {
            "a line added": lambda f: change_list(f, manifest + ["extra.dll"]),
            "a line removed": lambda f: change_list(f, ["a.dll", "sub", "c.txt"]),
            "lines reordered": lambda f: change_list(f, ["a.dll", "sub", "c.txt", "sub/b.dat"]),
            "a folder line that names a file": lambda f: change_list(f, ["a.dll", "sub.x", "sub/b.dat", "c.txt"]),
            "a changed digest": flip_digest,
            "a digest line added": write("list.sha256", b"0" * 64 + b"  1  x.dll\n", "ab"),
            "a signature by another key": sign_with_other_key,
            "a signature that is not DER": write("list.sha256.sig", b"\x30\x02\x01"),
            "an empty signature": write("list.sha256.sig", b""),
            "no signature": lambda f: os.remove(os.path.join(f, "list.sha256.sig")),
            "no list.sha256": lambda f: os.remove(os.path.join(f, "list.sha256")),
        }
        side = [b"/Lineinstall_qmra/list.txt", b"/Lineinstall_qmra/list.sha256", b"/Lineinstall_qmra/list.sha256.sig"]
        for name, change in changes.items():
            with self.subTest(name):
                root, folder = self.signed_product(tree, manifest, "unverified")
                change(folder)
                result, outcome, lines, paths = self.run_engine(root)
                self.assertEqual(result, 0, lines)
                self.assertEqual(outcome, ["not-verified", "0"])
                self.assertNotIn("shortcuts", lines)
                self.assertEqual(paths, side[:len(paths)], "nothing after the side files")
                self.assertGreaterEqual(len(paths), 2)
                self.assertEqual(self.placed_files(), ["unload.bat"])
                self.assertEqual(self.script(), SELF_DELETE)

        # The same product, signed as it stands, installs: the failures above are the changes' alone.
        root, _ = self.signed_product(tree, manifest, "unverified")
        result, outcome, lines, paths = self.run_engine(root)
        self.assertEqual((result, outcome), (1, ["complete", "0"]), lines)


if __name__ == "__main__":
    unittest.main()
