"""Downloads on links that break: resumed files, calls by progress, one fetch per file, prompt ends."""
import os
import shutil
import threading
import time
import unittest

import harness
import test_engine
from harness import BreakingRelay, FaultServer, Nginx, Wine

PREFIX = test_engine.PREFIX
MIB = 1024 * 1024


class DownloadCase(test_engine.EngineCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = Wine("downloads")

    def errors(self, lines):
        return [l for l in lines if l.startswith("error")]

    def sent(self, name):
        return sum(r["sent"] for r in self.server.requests if r["path"] == PREFIX + name)

    def calls(self, name):
        return [r for r in self.server.requests if r["path"] == PREFIX + name]

    def assert_installed(self, name, data):
        with open(self.local(name), "rb") as f:
            self.assertTrue(f.read() == data, "%s is not the served file" % name)


class Resume(DownloadCase):
    def test_a_file_that_breaks_every_8_mib_installs_with_its_own_size_sent(self):
        data = os.urandom(32 * MIB + 12345)
        url = self.serve(b"big.bin\n", {"big.bin": {"body": data, "etag": '"v1-big"', "ranges": "yes",
                                                   "break_after": 8 * MIB}})
        result, lines = self.install(url, "--parallel", 1)
        self.assertEqual(result, 1, lines)
        self.assert_installed("big.bin", data)
        calls = self.calls("big.bin")
        self.assertEqual(len(calls), 5, "one call per 8 MiB piece")
        self.assertNotIn("Range", calls[0]["headers"])
        for n, call in enumerate(calls[1:], 1):
            self.assertEqual(call["headers"].get("Range"), "bytes=%d-" % (n * 8 * MIB))
            self.assertEqual(call["headers"].get("If-Range"), '"v1-big"')
        self.assertLessEqual(self.sent("big.bin"), len(data) + 8 * MIB)
        self.assertEqual(self.errors(lines), [], "a break that the next call mended alarms nobody")
        self.assertEqual(self.leftovers(), [])

    def test_nginx_through_a_breaking_link_resumes_by_etag(self):
        data = os.urandom(12 * MIB + 1)
        root = os.path.join(self.wine.base, "nginx-root")
        shutil.rmtree(root, ignore_errors=True)
        self.addCleanup(shutil.rmtree, root, True)
        os.makedirs(os.path.join(root, "Lineinstall_qmra"))
        with open(os.path.join(root, "Lineinstall_qmra", "big.bin"), "wb") as f:
            f.write(data)
        with open(os.path.join(root, "Lineinstall_qmra", "list.txt"), "wb") as f:
            f.write(b"big.bin\r\n")
        port = harness.free_port()
        nginx = Nginx(root, port)
        relay = BreakingRelay(port, 3 * MIB)
        try:
            result, lines = self.install("http://127.0.0.1:%d%slist.txt" % (relay.port, PREFIX))
            log = nginx.access_log()
        finally:
            relay.close()
            nginx.close()
        self.assertEqual(result, 1, lines)
        self.assert_installed("big.bin", data)
        self.assertIn('"GET /Lineinstall_qmra/big.bin HTTP/1.0" 206', log, "nginx answered a range")
        self.assertLessEqual(relay.passed, len(data) + 3 * MIB)
        self.assertEqual(self.errors(lines), [])

    def test_a_file_changed_between_answers_is_never_mixed(self):
        old = os.urandom(3 * MIB)
        new = os.urandom(3 * MIB)   # the same size: only the validator tells them apart
        url = self.serve(b"c.bin\n", {"c.bin": {"versions": [(old, '"old"'), (new, '"new"')], "ranges": "yes",
                                               "break_after": MIB + 7, "breaks": 2}})
        result, lines = self.install(url)
        self.assertEqual(result, 1, lines)
        self.assert_installed("c.bin", new)
        calls = self.calls("c.bin")
        self.assertEqual(calls[1]["headers"].get("If-Range"), '"old"')
        self.assertEqual(calls[2]["headers"].get("If-Range"), '"new"', "the new version's bytes resumed")
        self.assertEqual(self.errors(lines), [])

    def test_answers_that_do_not_continue_the_file_start_it_over(self):
        data = os.urandom(2 * MIB + 3)
        for how in (None, "wrong-offset", "wrong-total", "416"):
            with self.subTest(ranges=how):
                route = {"body": data, "etag": '"e"', "break_after": MIB, "breaks": 2 if how else 1}
                if how:
                    route["ranges"] = how
                url = self.serve(b"r.bin\n", {"r.bin": route})
                result, lines = self.install(url)
                self.assertEqual(result, 1, lines)
                self.assert_installed("r.bin", data)
                calls = self.calls("r.bin")
                self.assertEqual(calls[1]["headers"].get("Range"), "bytes=%d-" % MIB)
                if how:
                    # The odd 206 or 416 is dropped; the next call asks for the whole file.
                    self.assertNotIn("Range", calls[2]["headers"])
                self.assertEqual(self.leftovers(), [])
                self.server.close()
                self.server = None

    def test_without_a_validator_a_broken_file_is_asked_for_whole(self):
        data = os.urandom(MIB + 5)
        url = self.serve(b"n.bin\n", {"n.bin": {"body": data, "ranges": "yes", "break_after": 300_000,
                                               "breaks": 1}})
        result, lines = self.install(url)
        self.assertEqual(result, 1, lines)
        self.assert_installed("n.bin", data)
        self.assertNotIn("Range", self.calls("n.bin")[1]["headers"], "bytes of an unnamed version are not kept")

    def test_a_link_that_never_gets_further_gives_up(self):
        # Ranges ignored and the same break every time: much is sent, nothing moves on.
        data = os.urandom(MIB)
        url = self.serve(b"stuck.bin\nok.dll\n", {"stuck.bin": {"body": data, "etag": '"s"', "break_after": 200_000},
                                                  "ok.dll": b"OK"})
        result, lines = self.install(url)
        self.assertEqual(result, 0)
        self.assertIn("outcome files-failed 1", lines)
        self.assertEqual(len(self.calls("stuck.bin")), 6, "the first call's bytes were progress, five were not")
        self.assertFalse(os.path.exists(self.local("stuck.bin")))
        self.assertEqual(self.leftovers(), [])
        self.assertEqual(self.errors(lines), [], "no failed send, no message")


class Messages(DownloadCase):
    def test_failures_that_a_later_call_mends_show_nothing(self):
        names = ["m%03d.bin" % i for i in range(60)]
        routes = {}
        for i, name in enumerate(names):
            route = {"body": os.urandom(200_000), "etag": '"%d"' % i, "ranges": "yes"}
            if i % 5 == 0:
                route.update(break_after=70_000, breaks=1)   # broken mid-body once
            elif i % 5 == 1:
                route.update(mode="drop", breaks=1)          # the first send fails
            routes[name] = route
        url = self.serve("\n".join(names).encode(), routes)
        result, lines = self.install(url)
        self.assertEqual(result, 1, lines)
        for name in names:
            self.assert_installed(name, routes[name]["body"])
        self.assertEqual(len(self.calls("m001.bin")), 2)
        self.assertEqual(self.errors(lines), [])

    def test_a_file_whose_sends_all_fail_is_told_once(self):
        names = ["d%d.bin" % i for i in range(3)]
        url = self.serve("\n".join(names).encode(), {n: {"mode": "drop"} for n in names})
        started = time.time()
        result, lines = self.install(url, "--parallel", 1)
        elapsed = time.time() - started
        self.assertEqual(result, 0)
        self.assertEqual(len(self.calls("d0.bin")), 5)
        self.assertEqual(len(self.errors(lines)), 1, lines)
        times = [r["time"] for r in self.calls("d0.bin")]
        waits = [b - a for a, b in zip(times, times[1:])]
        print("waits between calls: %s (%.1f s in all)" % (" ".join("%.2f" % w for w in waits), elapsed))
        self.assertGreater(waits[3], waits[0] * 2, "the waits grow")
        self.assertGreater(sum(waits), 5.0)


class OneFetchPerFile(DownloadCase):
    def test_a_file_named_three_times_inside_the_window(self):
        # All three lines are among the first eight, so the read-ahead would start them together; each body
        # takes two seconds, so any overlap of their requests shows however the machine schedules them.
        others = ["o%d.dll" % i for i in range(5)]
        lines = ["same.dll", "same.dll"] + others + ["SAME.DLL"]
        slow = {"body": os.urandom(400_000), "mode": "slow", "pieces": 4, "pause": 0.5}
        routes = {"same.dll": slow, "SAME.DLL": {"body": b"LAST", "mode": "slow", "pieces": 2, "pause": 1.0}}
        routes.update({n: b"x" for n in others})
        url = self.serve("\n".join(lines).encode(), routes)
        result, out = self.install(url, "--parallel", 8)
        self.assertEqual(result, 1, out)
        self.assert_installed("same.dll", b"LAST")
        spans = sorted((r["time"], r["ended"]) for r in self.server.requests
                       if r["path"] in (PREFIX + "same.dll", PREFIX + "SAME.DLL"))
        self.assertEqual(len(spans), 3)
        for (_, end), (start, _) in zip(spans, spans[1:]):
            # The server's record ends a pause (0.5 s, later on a busy machine) after its last piece, which the
            # client has had at once; two downloads at once would overlap by seconds.
            self.assertGreaterEqual(start, end - 1.0, "one download of the file at a time")
        self.assertEqual(self.script(), self.file_line("same.dll") * 2 + b"".join(self.file_line(n) for n in others) +
                         self.file_line("SAME.DLL") + b'del "%~f0"')
        self.assertEqual(self.leftovers(), [])


class PromptEnds(DownloadCase):
    def slow_big(self):
        # 8 MiB in pieces of 256 KiB a quarter of a second apart: eight seconds of body.
        return {"body": os.urandom(8 * MIB), "mode": "slow", "pieces": 32, "pause": 0.25}

    def test_a_lost_server_does_not_wait_for_the_downloads_in_flight(self):
        slow = ["s%d.bin" % i for i in range(7)]
        routes = {"silent.dll": {"mode": "silent", "seconds": 25}}
        routes.update({n: self.slow_big() for n in slow})
        url = self.serve("\n".join(["silent.dll"] + slow).encode(), routes)
        started = time.time()
        result, lines = self.install(url, "--timeout", 3000, "--parallel", 8)
        elapsed = time.time() - started
        print("a lost server with seven bodies in flight ended the run in %.1f s" % elapsed)
        self.assertEqual(result, 0)
        self.assertIn("outcome server-lost 8", lines)
        for name in slow:
            self.assertLess(self.sent(name), 8 * MIB, "%s was cut off, not waited for" % name)
        self.assertEqual(self.leftovers(), [])

    def test_a_stop_ends_a_streaming_body_at_once(self):
        # a.dll is answered only once long.bin's body streams, however late a busy machine sends its request.
        streaming = threading.Event()
        url = self.serve(b"a.dll\nlong.bin\n", {"a.dll": {"body": b"A", "mode": "gate", "gate": streaming},
                                                "long.bin": self.slow_big()})
        answer = self.server.answer

        def answer_and_open_the_gate(h):
            if h.path.endswith("long.bin"):
                threading.Timer(0.3, streaming.set).start()
            answer(h)
        self.server.answer = answer_and_open_the_gate
        result, lines = self.install(url, "--stop-after", 1, "--parallel", 8)
        self.assertEqual(result, 0)
        self.assertIn("outcome stopped 0", lines)
        a, long_body = self.calls("a.dll")[0], self.calls("long.bin")[0]
        deadline = time.time() + 15
        while time.time() < deadline and long_body["ended"] is None:
            time.sleep(0.05)
        # The stop comes as soon as a.dll is in place, right after its one byte was sent.
        print("the long body went %.2f s after the stop" % (long_body["ended"] - a["ended"]))
        self.assertLess(long_body["sent"], 4 * MIB, "the stop ended the download mid-body")
        self.assertLess(long_body["ended"] - a["ended"], 3.0)
        self.assertFalse(os.path.exists(self.local("long.bin")))
        self.assertEqual(self.leftovers(), [])


class KeptConnections(DownloadCase):
    """Against nginx, which keeps a connection that asks for it: each download slot reuses one."""

    def install_kept(self, keepalive="", args=()):
        tree = {"k%03d.bin" % i: os.urandom(3000 + i) for i in range(200)}
        result, lines, log = self.install_from_nginx(tree, "\r\n".join(tree).encode(), keepalive=keepalive,
                                                     args=("--parallel", 8) + args)
        self.assertEqual(result, 1, lines)
        self.assertEqual(self.errors(lines), [], "a connection the server closed is opened again quietly")
        for name, data in tree.items():
            self.assert_installed(name, data)
            self.assertEqual(log.count("GET %s%s " % (PREFIX, name)), 1, "one call for %s" % name)
        return harness.nginx_requests(log)

    def test_a_200_file_install_opens_at_most_n_plus_2_connections(self):
        connections = {conn for _, conn, _ in self.install_kept()}
        print("200 files, N=8: %d connections" % len(connections))
        self.assertLessEqual(len(connections), 8 + 2)

    def test_a_server_that_closes_kept_connections_costs_no_call(self):
        # Every third answer closes its connection.
        requests = self.install_kept("keepalive_requests 3;")
        self.assertGreaterEqual(len({conn for _, conn, _ in requests}), 201 // 3)
        # A pause outlasts the server's idle time-out: no connection is used on both sides of it.
        requests = self.install_kept("keepalive_timeout 300ms;", ("--pause-after", 100, "--pause-ms", 3000))
        gap = max(range(1, len(requests)), key=lambda i: requests[i][2] - requests[i - 1][2])
        self.assertGreater(requests[gap][2] - requests[gap - 1][2], 1.0, "the pause held the calls")
        self.assertFalse({c for _, c, _ in requests[:gap]} & {c for _, c, _ in requests[gap:]})


class PauseHoldsCalls(DownloadCase):
    def check_pause_holds_the_next_call(self, parallel):
        pause_file = os.path.join(self.dir, "pause.flag")
        url = self.serve(b"a.dll\nb.dll\n", {"a.dll": b"A", "b.dll": {"body": b"B", "mode": "drop", "breaks": 1}})
        cli = self.wine.start(harness.ENGINE_CLI, [url, self.win_dir, "--parallel", str(parallel),
                                                   "--pause-file", self.win_dir + "pause.flag"], name="engine_cli")
        try:
            deadline = time.time() + 30
            while time.time() < deadline and not self.calls("b.dll"):
                time.sleep(0.005)
            open(pause_file, "w").close()   # between the failed call and the next, at least 0.4 s later
            paused = time.time()
            time.sleep(2.0)
            self.assertEqual(len(self.calls("b.dll")), 1, "no call while paused")
            os.remove(pause_file)
            resumed = time.time()
            cli.wait(60)
        finally:
            harness.stop_process(cli)
        calls = self.calls("b.dll")
        self.assertEqual(len(calls), 2)
        self.assertGreater(calls[1]["time"], resumed - 0.1)
        print("N=%d: paused %.2f s, next call %.2f s after the pause ended" %
              (parallel, resumed - paused, calls[1]["time"] - resumed))
        self.assert_installed("b.dll", b"B")

    def test_a_pause_holds_the_walks_own_calls(self):
        self.check_pause_holds_the_next_call(1)

    def test_a_pause_holds_the_read_aheads_calls(self):
        self.check_pause_holds_the_next_call(8)


if __name__ == "__main__":
    unittest.main(verbosity=2)
