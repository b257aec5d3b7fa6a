"""The install engine under Wine, against nginx and against a server that misbehaves on purpose."""
import os
import shutil
import threading
import time
import unittest

import harness
from harness import FaultServer, Nginx, Wine
from installer_case import without_head

PREFIX = "/Lineinstall_qmra/"
# GBK names: 乗 ends in the byte 0x5C and 亅 in 0x7C, which must not be read as '\' or '|'.
GBK_DIR = "数据乗"
GBK_FILE = "说明亅.txt"


def gbk(text):
    return text.encode("gbk")


class EngineCase(unittest.TestCase):
    wine = None
    case_number = 0

    @classmethod
    def setUpClass(cls):
        cls.wine = Wine("engine")

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def setUp(self):
        EngineCase.case_number += 1
        self.win_dir = "C:\\qtest\\%s_%d\\" % (self._testMethodName[:40], EngineCase.case_number)
        self.dir = self.wine.host_path(self.win_dir)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.server = None

    def tearDown(self):
        if self.server:
            self.server.close()

    def serve(self, manifest, files=None, manifest_route=None):
        routes = {PREFIX + "list.txt": manifest_route or {"body": manifest}}
        for name, route in (files or {}).items():
            routes[PREFIX + name] = route if isinstance(route, dict) else {"body": route}
        self.server = FaultServer(routes=routes)
        return "http://127.0.0.1:%d%slist.txt" % (self.server.port, PREFIX)

    def install_from_nginx(self, tree, manifest, folders=(), keepalive="", args=()):
        """Serves tree (names as the manifest writes them) and manifest with nginx (keepalive: its
        directives for kept connections), installs from it with the engine's args; (result, engine output
        lines, nginx's access log)."""
        root = os.path.join(self.wine.base, "nginx-root")
        shutil.rmtree(root, ignore_errors=True)
        self.addCleanup(shutil.rmtree, root, True)
        for name, data in tree.items():
            # WinINet sends '\' as '/'; a 0x5C trail byte stays as it is.
            path = os.path.join(root.encode(), b"Lineinstall_qmra", gbk(name.replace("\\", "/")))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        for folder in folders:
            os.makedirs(os.path.join(root, "Lineinstall_qmra", folder), exist_ok=True)
        with open(os.path.join(root, "Lineinstall_qmra", "list.txt"), "wb") as f:
            f.write(manifest)
        port = harness.free_port()
        nginx = Nginx(root, port, keepalive=keepalive)
        try:
            result, lines = self.install("http://127.0.0.1:%d/Lineinstall_qmra/list.txt" % port, *args)
            return result, lines, nginx.access_log()
        finally:
            nginx.close()

    def install(self, url, *options, timeout=120):
        rc, out = self.wine.run(harness.ENGINE_CLI, [url, self.win_dir] + [str(o) for o in options],
                                timeout=timeout, name="engine_cli")
        self.assertEqual(rc, 0, out)
        lines = out.splitlines()
        result = [l for l in lines if l.startswith("result ")]
        self.assertTrue(result, out)
        return int(result[0].split()[1]), lines

    def local(self, relative):
        return os.path.join(self.dir, relative.replace("\\", "/"))

    def script(self):
        with open(os.path.join(self.dir, "unload.bat"), "rb") as f:
            return without_head(f.read())

    def file_line(self, relative):
        return harness.batch_file_line(self.win_dir + relative)

    def requested(self, name):
        return sum(1 for r in self.server.requests if r["path"] == PREFIX + name)

    def leftovers(self):
        found = []
        for base, _, names in os.walk(self.dir):
            found += [os.path.join(base, n) for n in names if n.endswith(".~qdl")]
        return found


class NginxInstall(EngineCase):
    def test_product_tree_is_installed_byte_for_byte(self):
        # Sizes mixed so that the read-ahead's downloads end out of order; placing keeps the list's order.
        tree = {
            "big.bin": os.urandom(3 * 1024 * 1024 + 17),
            "Termview.exe": os.urandom(300_000),
            "data/skin.bmp": os.urandom(5000),
            "a/b/c.dll": os.urandom(70_000),
            "x\\y\\z.dat": os.urandom(1234),
            GBK_DIR + "/" + GBK_FILE: "中文内容".encode("gbk"),
            "with space.txt": b"spaced",
        }
        manifest = b"\r\n".join([gbk(n) for n in tree] + [b"bin", b""])
        result, lines, log = self.install_from_nginx(tree, manifest)

        self.assertEqual(result, 1, lines)
        self.assertIn("shortcuts", lines)
        self.assertIn("range %d" % (len(tree) + 1), lines)
        for name, data in tree.items():
            with open(self.local(name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        expected = b"".join(self.file_line(n) for n in tree) + b'del "%~f0"'
        self.assertEqual(self.script(), expected)
        self.assertIn('"GET /Lineinstall_qmra/list.txt HTTP/1.0"', log)
        self.assertIn('"GET /Lineinstall_qmra/a/b/c.dll HTTP/1.0"', log)
        self.assertEqual(self.leftovers(), [])


class ManifestAnswers(EngineCase):
    def test_only_a_whole_2xx_manifest_is_read(self):
        for status in (404, 500, 301, 403, 206):
            with self.subTest(status=status):
                self.server = FaultServer(routes={PREFIX + "list.txt": {"status": status, "body": b"a.dll\r\nb.dll\r\n",
                                                                        "headers": {"Location": "/x"}}})
                url = "http://127.0.0.1:%d%slist.txt" % (self.server.port, PREFIX)
                result, lines = self.install(url)
                self.assertEqual(result, 0)
                self.assertEqual(len(self.server.requests), 1, "nothing but the manifest is asked for")
                self.assertNotIn("shortcuts", lines)
                self.assertEqual(self.script(), b'del "%~f0"')
                self.server.close()
                self.server = None

    def test_unreachable_server_ends_with_zero_and_no_message(self):
        url = "http://127.0.0.1:%d%slist.txt" % (harness.free_port(), PREFIX)
        result, lines = self.install(url)
        self.assertEqual(result, 0)
        self.assertFalse([l for l in lines if l.startswith("error")])

    def test_line_ends_empty_lines_and_the_dot_rule(self):
        manifest = b"a.dll\r\nbin\n\nsub\r\n.cfg\nc\rr.dll\nlast.dll"
        url = self.serve(manifest, {"a.dll": b"A", ".cfg": b"C", "cr.dll": b"R", "last.dll": b"L"})
        result, lines = self.install(url)
        self.assertEqual(result, 1, lines)
        self.assertIn("range 7", lines)
        self.assertEqual(sum(1 for l in lines if l.startswith("step ")), 7)
        for name, data in {"a.dll": b"A", ".cfg": b"C", "cr.dll": b"R", "last.dll": b"L"}.items():
            with open(self.local(name), "rb") as f:
                self.assertEqual(f.read(), data)
        fetched = sorted(r["path"] for r in self.server.requests)
        self.assertEqual(fetched, sorted(PREFIX + n for n in ["list.txt", "a.dll", ".cfg", "cr.dll", "last.dll"]))

    def test_empty_manifest_is_a_complete_install(self):
        url = self.serve(b"")
        result, lines = self.install(url)
        self.assertEqual(result, 1)
        self.assertIn("range 0", lines)
        self.assertIn("shortcuts", lines)

    def test_truncated_or_broken_manifest_installs_nothing(self):
        for route in ({"body": b"a.dll\r\nb.dll\r\n", "length": 500},
                      {"body": b"a.dll\r\n" * 4000, "mode": "reset"}):
            with self.subTest(mode=route.get("mode", "short")):
                url = self.serve(None, {"a.dll": b"A", "b.dll": b"B"}, manifest_route=route)
                result, lines = self.install(url)
                self.assertEqual(result, 0)
                self.assertEqual(self.requested("a.dll"), 0)
                self.server.close()
                self.server = None

    def test_more_than_65535_lines_count_right(self):
        body = b"\n".join([b"folder%d" % i for i in range(70_000)] + [b"end.dll"])
        url = self.serve(body, {"end.dll": b"E"})
        result, lines = self.install(url, timeout=300)
        self.assertEqual(result, 1)
        self.assertIn("range 70001", lines)
        self.assertIn("step 70001", lines)
        self.assertIn("entries 70001", lines)


class FileAnswers(EngineCase):
    def test_error_pages_are_never_saved(self):
        url = self.serve(b"bad.dll\r\nmissing.dll\r\ngood.dll\r\n", {
            "bad.dll": {"status": 500, "body": b"<html>server error</html>"},
            "good.dll": b"GOOD"})
        with open(self.local("bad.dll"), "wb") as f:
            f.write(b"OLD")
        result, lines = self.install(url)
        self.assertEqual(result, 0, "a failed file is not a complete install")
        self.assertNotIn("shortcuts", lines)
        with open(self.local("bad.dll"), "rb") as f:
            self.assertEqual(f.read(), b"OLD")
        self.assertFalse(os.path.exists(self.local("missing.dll")))
        self.assertEqual(self.requested("bad.dll"), 5)
        self.assertEqual(self.requested("missing.dll"), 5)
        self.assertEqual(self.script(), self.file_line("good.dll") + b'del "%~f0"')
        self.assertFalse([l for l in lines if l.startswith("error")], "no message for a status")

    def test_body_without_length_is_written_whole(self):
        data = os.urandom(200_000)
        url = self.serve(b"nolen.bin\n", {"nolen.bin": {"body": data, "length": None}})
        result, _ = self.install(url)
        self.assertEqual(result, 1)
        with open(self.local("nolen.bin"), "rb") as f:
            self.assertEqual(f.read(), data)

    def test_short_reset_stalled_and_negative_bodies_fail_and_leave_nothing(self):
        data = os.urandom(600_000)
        routes = {
            "short.bin": {"body": data, "length": len(data) + 1000},
            "reset.bin": {"body": data, "mode": "reset"},
            "stall.bin": {"body": data, "mode": "stall", "seconds": 20},
            "negative.bin": {"body": data, "length": -5},
        }
        url = self.serve(b"\n".join(n.encode() for n in routes) + b"\n", routes)
        with open(self.local("short.bin"), "wb") as f:
            f.write(b"KEEP")
        started = time.time()
        result, lines = self.install(url, "--timeout", 1000, timeout=200)
        self.assertLess(time.time() - started, 150, "a stalled server must not hold the install")
        self.assertEqual(result, 0)
        with open(self.local("short.bin"), "rb") as f:
            self.assertEqual(f.read(), b"KEEP", "an incomplete body never replaces a file")
        for name in ("reset.bin", "stall.bin", "negative.bin"):
            self.assertFalse(os.path.exists(self.local(name)), name)
            self.assertEqual(self.requested(name), 5, name)
        self.assertEqual(self.script(), b'del "%~f0"')
        self.assertEqual(self.leftovers(), [])

    def test_a_server_that_closes_without_answering_places_nothing(self):
        url = self.serve(b"gone.dll\nok.dll\n", {"gone.dll": {"mode": "close"}, "ok.dll": b"OK"})
        result, lines = self.install(url)
        self.assertEqual(result, 0)
        self.assertFalse(os.path.exists(self.local("gone.dll")))
        self.assertEqual(self.requested("gone.dll"), 5)
        self.assertEqual(self.script(), self.file_line("ok.dll") + b'del "%~f0"')

    def test_slow_chunks_still_arrive_whole(self):
        data = os.urandom(100_000)
        url = self.serve(b"slow.bin\n", {"slow.bin": {"body": data, "mode": "slow", "pieces": 6, "pause": 0.3}})
        result, _ = self.install(url)
        self.assertEqual(result, 1)
        with open(self.local("slow.bin"), "rb") as f:
            self.assertEqual(f.read(), data)

    def test_existing_file_is_replaced_and_old_temporary_file_removed(self):
        with open(self.local("a.dll"), "wb") as f:
            f.write(b"old version")
        for name in ("a.dll", "gone.dll"):
            with open(self.local(name) + ".~qdl", "wb") as f:
                f.write(b"left by a killed run")
        url = self.serve(b"a.dll\ngone.dll\n", {"a.dll": b"new version"})   # gone.dll: 404 now
        result, _ = self.install(url)
        self.assertEqual(result, 0)
        with open(self.local("a.dll"), "rb") as f:
            self.assertEqual(f.read(), b"new version")
        self.assertEqual(self.leftovers(), [])

    def test_file_in_use_is_not_replaced(self):
        with open(self.local("busy.dll"), "wb") as f:
            f.write(b"running")
        holder = self.wine.start(harness.QDRIVER, ["hold", self.win_dir + "busy.dll", "300000"], name="hold")
        try:
            held = os.path.join(self.wine.base, "hold.out")
            deadline = time.time() + 60
            while time.time() < deadline and not (os.path.exists(held) and b"held 1" in open(held, "rb").read()):
                time.sleep(0.05)
            url = self.serve(b"busy.dll\nfree.dll\n", {"busy.dll": b"new", "free.dll": b"F"})
            result, _ = self.install(url)
        finally:
            harness.stop_process(holder)
        self.assertEqual(result, 0)
        with open(self.local("busy.dll"), "rb") as f:
            self.assertEqual(f.read(), b"running")
        self.assertEqual(self.script(), self.file_line("free.dll") + b'del "%~f0"')
        self.assertEqual(self.leftovers(), [])

    def test_a_target_locked_briefly_at_placement_is_still_replaced(self):
        # A scanner opens the old file for about 400 ms just as the download completes: the short
        # retries of the final move wait for it, without fetching the file again.
        with open(self.local("scanned.dll"), "wb") as f:
            f.write(b"old")
        data = os.urandom(200_000)
        gate = threading.Event()
        url = self.serve(b"scanned.dll\n", {"scanned.dll": {"body": data, "mode": "gate", "gate": gate}})
        cli = self.wine.start(harness.ENGINE_CLI, [url, self.win_dir], name="engine_cli")
        holder = None
        try:
            deadline = time.time() + 30
            while time.time() < deadline and not self.requested("scanned.dll"):
                time.sleep(0.02)
            holder = self.wine.start(harness.QDRIVER, ["hold", self.win_dir + "scanned.dll", "400"], name="hold")
            held = os.path.join(self.wine.base, "hold.out")
            while time.time() < deadline and not (os.path.exists(held) and b"held 1" in open(held, "rb").read()):
                time.sleep(0.01)
            gate.set()   # the rest of the body: the download completes while the file is held
            cli.wait(60)
            holder.wait(10)
        finally:
            harness.stop_process(cli)
            if holder:
                harness.stop_process(holder)
        with open(os.path.join(self.wine.base, "engine_cli.out"), "rb") as f:
            out = f.read().decode("gbk", "replace")
        self.assertIn("result 1", out)
        with open(self.local("scanned.dll"), "rb") as f:
            self.assertEqual(f.read(), data)
        self.assertEqual(self.requested("scanned.dll"), 1, "placed by the retries, not by a second download")
        self.assertEqual(self.leftovers(), [])

    def test_percent_in_a_name_is_doubled_in_the_script(self):
        url = self.serve(b"100%.dat\n", {"100%25.dat": b"P"})   # asked for escaped
        result, _ = self.install(url)
        self.assertEqual(result, 1)
        self.assertEqual(self.script(), b'del "' + gbk(self.win_dir) + b'100%%.dat"\r\ndel "%~f0"')


class PathRefusals(EngineCase):
    def test_lines_that_leave_the_folder_are_refused_without_a_request(self):
        bad = ["..\\evil.dll", "a/../../evil.dll", "C:\\evil.dll", "\\evil.dll", "/evil.dll",
               "ads.txt:stream", "pipe|x.dll", "con.txt", "x" * 250 + ".dll", "part.dll.~qdl",
               "CONIN$.txt", "clock$.dat", "LPT0.log", "Unload.BAT", "unload.bat\\x.dll", "LIST.TXT"]
        # A line far longer than any path that fits is refused before it is read any further.
        raw = [b"nul\x00byte.dll", b"bad\x81\x20trail.dll", b"cut\x81", b"long\\" * 4096 + b".dll"]
        routes = {n: b"EVIL" for n in bad}
        routes["ok.dll"] = b"OK"
        url = self.serve(b"\r\n".join([n.encode() for n in bad] + raw) + b"\r\nok.dll\r\n", routes)
        result, lines = self.install(url)
        self.assertEqual(result, 0)
        self.assertIn("outcome files-failed %d" % (len(bad) + 3), lines)   # "cut\\x81" has no ".": skipped
        paths = [r["path"] for r in self.server.requests]
        self.assertEqual(paths, [PREFIX + "list.txt", PREFIX + "ok.dll"])
        self.assertFalse(os.path.exists(self.wine.host_path("C:\\evil.dll")))
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.dir.rstrip("/")), "evil.dll")))
        self.assertEqual(self.script(), self.file_line("ok.dll") + b'del "%~f0"')

    def test_gbk_trail_bytes_are_not_separators(self):
        name = GBK_DIR + "\\" + GBK_FILE
        url = self.serve(gbk(name) + b"\r\n", {GBK_DIR + "\\" + GBK_FILE: b"GBK"})
        self.server.routes = {PREFIX + "list.txt": {"body": gbk(name) + b"\r\n"}}
        # The request carries the raw code-page bytes; answer whatever path arrives for the file.
        original = self.server.answer

        def answer(h):
            if h.path != PREFIX + "list.txt":
                h.send_response(200)
                h.send_header("Content-Length", "3")
                h.end_headers()
                h.wfile.write(b"GBK")
                return
            original(h)
        self.server.answer = answer
        result, lines = self.install(url)
        self.assertEqual(result, 1, lines)
        with open(self.local(name), "rb") as f:
            self.assertEqual(f.read(), b"GBK")


class ListingToolManifests(EngineCase):
    def test_folder_lines_with_dots_are_created_not_fetched(self):
        files = {
            "Microsoft.VC90.CRT/msvcr90.dll": os.urandom(20_000),
            "plugins.d/a.so": b"plugin",
            "bin/tool.exe": b"tool",
            "Termview.exe": b"exe",
        }
        lines = ["Microsoft.VC90.CRT", "Microsoft.VC90.CRT\\msvcr90.dll", "plugins.d/", "plugins.d/a.so", "bin",
                 "bin/tool.exe", "empty.dir\\", "Termview.exe"]
        result, out, log = self.install_from_nginx(files, "\r\n".join(lines).encode() + b"\r\n",
                                                   folders=["empty.dir"])
        self.assertEqual(result, 1, out)
        self.assertIn("range 8", out)
        self.assertEqual(sum(1 for l in out if l.startswith("step ")), 8, "folder lines count for progress")
        for folder in ("Microsoft.VC90.CRT", "plugins.d", "bin", "empty.dir"):
            self.assertTrue(os.path.isdir(self.local(folder)), folder)
        for name, data in files.items():
            with open(self.local(name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        requested = [l.split('"')[1] for l in log.splitlines() if '"GET ' in l]
        self.assertEqual(len(requested), 5, requested)
        self.assertNotIn("GET /Lineinstall_qmra/plugins.d/ HTTP/1.0", requested)
        self.assertEqual(self.script(), self.file_line("Microsoft.VC90.CRT\\msvcr90.dll") + self.file_line("plugins.d/a.so") +
                         self.file_line("bin/tool.exe") + self.file_line("Termview.exe") + b'del "%~f0"')
        self.assertEqual(self.wine.inet_cache_files(), [], "no response is kept in the WinINet cache")

    def test_names_with_percent_hash_and_brackets_are_fetched_escaped(self):
        names = ["100%.txt", "a#b.txt", "x[1]{2}.dat", "%41.txt"]
        result, out, _ = self.install_from_nginx({n: n.encode() for n in names}, "\n".join(names).encode())
        self.assertEqual(result, 1, out)
        for name in names:
            with open(self.local(name), "rb") as f:
                self.assertEqual(f.read(), name.encode(), name)
        self.assertEqual(self.script(), b"".join(self.file_line(n) for n in names) + b'del "%~f0"')


class Placement(EngineCase):
    def test_a_file_named_twice_is_not_fetched_twice_at_once(self):
        url = self.serve(b"a.dll\nA.DLL\nsub/x.dll\nsub\\x.dll\n",
                         {"a.dll": b"one", "A.DLL": b"two", "sub/x.dll": b"three"})
        result, out = self.install(url, "--parallel", 8)
        self.assertEqual(result, 1, out)
        with open(self.local("a.dll"), "rb") as f:
            self.assertEqual(f.read(), b"two", "the later line's bytes, as one after the other gives")
        with open(self.local("sub/x.dll"), "rb") as f:
            self.assertEqual(f.read(), b"three")
        self.assertEqual(self.leftovers(), [])

    def test_a_product_path_of_259_bytes_installs(self):
        name = "n" * (259 - len(self.win_dir) - 4) + ".bin"
        self.assertEqual(len(self.win_dir + name), 259)
        url = self.serve(name.encode() + b"\n", {name: b"LONG"})
        result, out = self.install(url)
        self.assertEqual(result, 1, out)
        with open(self.local(name), "rb") as f:
            self.assertEqual(f.read(), b"LONG")
        self.assertEqual(self.leftovers(), [])

    def test_a_target_that_is_a_folder_or_read_only_fails_at_once(self):
        os.makedirs(self.local("folder.dll"))
        with open(self.local("locked.dll"), "wb") as f:
            f.write(b"OLD")
        os.chmod(self.local("locked.dll"), 0o444)   # Wine shows a file without write bits as read-only
        url = self.serve(b"folder.dll\nlocked.dll\nok.dll\n", {"folder.dll": b"F", "locked.dll": b"L", "ok.dll": b"OK"})
        started = time.time()
        result, out = self.install(url)
        elapsed = time.time() - started
        self.assertEqual(result, 0)
        self.assertIn("outcome files-failed 2", out)
        self.assertEqual(self.requested("folder.dll"), 1, "no second download of the same bytes")
        self.assertEqual(self.requested("locked.dll"), 1)
        with open(self.local("locked.dll"), "rb") as f:
            self.assertEqual(f.read(), b"OLD")
        self.assertTrue(os.path.isdir(self.local("folder.dll")))
        self.assertEqual(self.script(), self.file_line("ok.dll") + b'del "%~f0"')
        self.assertEqual(self.leftovers(), [])
        print("folder and read-only targets took %.1f s" % elapsed)

    def test_a_length_header_without_digits_means_read_to_the_end(self):
        data = os.urandom(50_000)
        url = self.serve(None, {"x.bin": {"body": data, "length": "abc"}},
                         manifest_route={"body": b"x.bin\n", "length": "none"})
        result, out = self.install(url)
        self.assertEqual(result, 1, out)
        with open(self.local("x.bin"), "rb") as f:
            self.assertEqual(f.read(), data)


class LostServer(EngineCase):
    def test_a_server_that_goes_away_ends_the_walk_with_one_message(self):
        names = ["f%02d.dll" % i for i in range(30)]
        url = self.serve("\n".join(names).encode(), {n: b"x" * 1000 for n in names})
        original = self.server.answer
        server = self.server

        def answer(h):
            original(h)
            if h.path.endswith("f03.dll"):
                threading.Thread(target=server.close, daemon=True).start()
        self.server.answer = answer
        started = time.time()
        result, out = self.install(url)
        elapsed = time.time() - started
        print("lost server ended the walk in %.1f s" % elapsed)
        self.assertEqual(result, 0)
        self.assertLess(elapsed, 30)
        self.assertEqual(len([l for l in out if l.startswith("error")]), 1, out)
        self.assertTrue([l for l in out if l.startswith("outcome server-lost")], out)
        self.assertNotIn("shortcuts", out)
        self.assertTrue(self.script().endswith(b'del "%~f0"'))
        # It went after answering f03: at most the eight downloads after that one were under way.
        self.assertLessEqual(sum(1 for l in out if l.startswith("step ")), 12)

    def test_a_server_that_never_answers_is_given_up_after_one_time_out(self):
        url = self.serve(b"silent.dll\nnext.dll\n", {"silent.dll": {"mode": "silent", "seconds": 20},
                                                      "next.dll": b"N"})
        result, out = self.install(url, "--timeout", 1500)
        self.assertEqual(result, 0)
        self.assertEqual(self.requested("silent.dll"), 1)
        self.assertFalse(os.path.exists(self.local("next.dll")), "read ahead, never placed")
        self.assertEqual(self.leftovers(), [])
        self.assertEqual(len([l for l in out if l.startswith("error")]), 1, out)
        self.assertIn("outcome server-lost 2", out)


class OrderlyEnds(EngineCase):
    def test_an_exception_in_the_walk_still_ends_the_script_in_order(self):
        names = ["e%d.dll" % i for i in range(4)]
        url = self.serve("\n".join(names).encode(), {n: b"x" * 3000 for n in names})
        with open(self.local("list.txt"), "wb") as f:
            f.write(b"stale")
        result, out = self.install(url, "--throw-at-step", 2)
        self.assertEqual(result, 0)
        self.assertIn("outcome files-failed 2", out)
        self.assertEqual(self.script(), self.file_line("e0.dll") + self.file_line("e1.dll") + b'del "%~f0"')
        self.assertFalse(os.path.exists(self.local("list.txt")))
        self.assertEqual(self.leftovers(), [])

    def test_a_script_that_cannot_be_created_ends_the_run_before_any_request(self):
        os.makedirs(self.local("unload.bat"))
        url = self.serve(b"a.dll\n", {"a.dll": b"A"})
        result, out = self.install(url)
        self.assertEqual(result, 0)
        self.assertIn("outcome cannot-write 0", out)
        self.assertNotIn("shortcuts", out)
        self.assertEqual(self.server.requests, [])
        self.assertFalse(os.path.exists(self.local("a.dll")))

    def test_a_script_sealed_before_the_worker_opens_it_stays_as_it_is(self):
        with open(self.local("unload.bat"), "wb") as f:
            f.write(b'del "earlier"\r\ndel "%~f0"')
        url = self.serve(b"a.dll\n", {"a.dll": b"A"})
        result, out = self.install(url, "--sealed-before-start", 1)
        self.assertEqual(result, 0)
        self.assertEqual(self.script(), b'del "earlier"\r\ndel "%~f0"')
        self.assertFalse(os.path.exists(self.local("a.dll")), "nothing is placed once the script is sealed")
        self.assertEqual(self.leftovers(), [])


class PauseAndStop(EngineCase):
    def test_pause_holds_the_walk_between_lines(self):
        names = ["p%d.dll" % i for i in range(3)]
        url = self.serve(b"\n".join(n.encode() for n in names), {n: b"x" for n in names})
        result, lines = self.install(url, "--pause-after", 1, "--pause-ms", 1500, "--parallel", 1)
        self.assertEqual(result, 1)
        self.assertIn("pause 1500", lines)
        times = {r["path"]: r["time"] for r in self.server.requests}
        self.assertGreater(times[PREFIX + "p1.dll"] - times[PREFIX + "p0.dll"], 1.3, "held after line 1")
        self.assertLess(times[PREFIX + "p2.dll"] - times[PREFIX + "p1.dll"], 1.0, "resumed with the next line")

    def test_stop_during_the_last_line_makes_no_shortcuts(self):
        names = ["t%d.dll" % i for i in range(3)]
        url = self.serve(b"\n".join(n.encode() for n in names), {n: b"x" for n in names})
        result, lines = self.install(url, "--stop-after", 3)
        self.assertEqual(result, 0)
        self.assertNotIn("shortcuts", lines)
        self.assertIn("outcome stopped 0", lines)

    def test_pause_starts_no_new_download_while_read_ahead_is_in_flight(self):
        names = ["r%02d.dll" % i for i in range(20)]
        slow = {"body": b"x" * 4000, "mode": "slow", "pieces": 4, "pause": 0.25}   # one second each
        url = self.serve("\n".join(names).encode(), {n: slow for n in names})
        result, lines = self.install(url, "--pause-after", 1, "--pause-ms", 2500, "--parallel", 8)
        self.assertEqual(result, 1, lines)
        starts = sorted(r["time"] for r in self.server.requests if r["path"].endswith(".dll"))
        self.assertEqual(len(starts), 20)
        self.assertLess(starts[7] - starts[0], 0.8, "eight downloads start at once")
        self.assertGreater(starts[8] - starts[7], 2.0, "none starts while paused")
        for name in names:
            self.assertTrue(os.path.exists(self.local(name)), name)
        self.assertEqual(self.script(), b"".join(self.file_line(n) for n in names) + b'del "%~f0"')

    def test_stop_abandons_the_read_ahead_and_leaves_no_temporary_file(self):
        names = ["q%02d.dll" % i for i in range(12)]
        slow = {"body": b"x" * 8000, "mode": "slow", "pieces": 8, "pause": 0.2}
        url = self.serve("\n".join(names).encode(), {n: slow for n in names})
        result, lines = self.install(url, "--stop-after", 1, "--parallel", 8)
        self.assertEqual(result, 0)
        placed = [n for n in names if os.path.exists(self.local(n))]
        self.assertEqual(placed, ["q00.dll"])
        self.assertEqual(self.script(), self.file_line("q00.dll") + b'del "%~f0"')
        self.assertEqual(self.leftovers(), [])

    def test_a_stalled_download_at_the_end_holds_the_finish_only_for_its_time_outs(self):
        url = self.serve(b"a.dll\nb.dll\nstall.bin\n", {"a.dll": b"A", "b.dll": b"B",
                                                         "stall.bin": {"body": b"s" * 100_000, "mode": "stall",
                                                                       "seconds": 90}})
        started = time.time()
        result, lines = self.install(url, "--timeout", 1000, "--parallel", 8)
        elapsed = time.time() - started
        print("finished %.1f s after the start with a stalled last line" % elapsed)
        self.assertEqual(result, 0)
        self.assertLess(elapsed, 60, "five time-outs of one second, not the server's 90 s stall")
        self.assertEqual(self.requested("stall.bin"), 5)
        self.assertEqual(self.script(), self.file_line("a.dll") + self.file_line("b.dll") + b'del "%~f0"')
        self.assertEqual(self.leftovers(), [])

    def test_stop_ends_the_walk_without_shortcuts(self):
        names = ["s%d.dll" % i for i in range(5)]
        url = self.serve(b"\n".join(n.encode() for n in names), {n: b"x" for n in names})
        result, lines = self.install(url, "--stop-after", 2, "--parallel", 1)
        self.assertEqual(result, 0)
        self.assertNotIn("shortcuts", lines)
        self.assertEqual(self.requested("s2.dll"), 0)
        self.assertEqual(self.script(), self.file_line("s0.dll") + self.file_line("s1.dll") + b'del "%~f0"')


if __name__ == "__main__":
    unittest.main(verbosity=2)
