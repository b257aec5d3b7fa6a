"""The window's buttons: close with and without the notice, continue and cancel, minimise."""
import os
import time
import unittest

import harness
from harness import FaultServer
from installer_case import SELF_DELETE, InstallerCase

# 1.6 s each, eight at a time: over a minute, so files are still to come whenever a busy machine gets the
# notice up; the test itself ends the install long before.
NAMES = ["f%03d.dll" % i for i in range(400)]


class Buttons(InstallerCase):
    module = "buttons"

    def slow_product(self):
        routes = {"list.txt": {"body": "\r\n".join(NAMES).encode()}}
        for name in NAMES:
            routes[name] = {"body": b"x" * 4000, "mode": "slow", "pieces": 2, "pause": 0.8}
        return self.fault_server(routes)

    def fetched(self, server):
        return sum(1 for r in server.requests if r["path"].endswith(".dll"))

    def test_close_before_the_install_asks_nothing(self):
        server = self.fault_server({})
        self.start_installer()
        self.real_click(1019)
        self.assertTrue(self.wait_exit(10))
        self.assertEqual(server.requests, [])

    def test_notice_pauses_continue_resumes_cancel_ends_in_order(self):
        server = self.slow_product()
        window = self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_for(lambda: self.fetched(server) > 0), "the downloads start")

        self.real_click(1019)
        rc, text = self.wine.driver("wait-dialog", 10000)
        self.assertEqual(rc, 0, "the notice comes up")
        left, top, right, bottom = [int(v) for v in text.split()[1:5]]
        self.assertEqual((right - left, bottom - top), (302, 187), "the notice takes its picture's size")
        names = self.names("dialog")
        self.assertEqual([names[k][0] for k in ("window", 1001, 1019)], ["系统提示", "继续安装", "取消安装"])
        centre = ((window[0] + window[2]) // 2, (window[1] + window[3]) // 2)
        self.assertLessEqual(abs((left + right) // 2 - centre[0]), 1)
        self.assertLessEqual(abs((top + bottom) // 2 - centre[1]), 1)
        time.sleep(1.0)
        self.shot("notice-x11")
        self.wine.gdi_screenshot("notice", [min(window[0], left), min(window[1], top),
                                            max(window[2], right), max(window[3], bottom)])
        # The notice's picture as Windows sees the screen: its title band and its panel.
        self.assertEqual(self.wine.driver("pixel", left + 150, top + 17)[1], "pixel A8E8FC")
        self.assertEqual(self.wine.driver("pixel", left + 5, top + 100)[1], "pixel D6F8FF")

        time.sleep(1.5)   # a call that had begun before the pause may still reach the server; no new one starts
        held = self.fetched(server)
        time.sleep(1.5)
        self.assertEqual(self.fetched(server), held, "the walk waits while the notice is up")

        self.assertEqual(self.wine.driver("dialog-click", 1001)[0], 0)
        self.assertTrue(self.wait_for(lambda: self.fetched(server) > held), "continue resumes the walk")
        self.assertTrue(self.wait_for(lambda: os.path.exists(self.local(NAMES[0]))), "files are placed")
        self.assertIsNone(self.proc.poll())

        self.real_click(1019)
        self.assertEqual(self.wine.driver("wait-dialog", 10000)[0], 0)
        self.assertEqual(self.wine.driver("dialog-click", 1019)[0], 0)
        self.assertTrue(self.wait_exit(10), "cancel ends the program")

        placed = [n for n in NAMES if os.path.exists(self.local(n))]
        self.assertGreater(len(placed), 0)
        self.assertLess(len(placed), len(NAMES))
        self.assertEqual(self.script(), b"".join(self.file_line(n) for n in placed) + SELF_DELETE)
        self.assertFalse(os.path.exists(os.path.join(self.wine.home, "Desktop", "Qelmora.lnk")))
        self.assertEqual(self.leftovers(), [])

    def check_report_on_finish(self, routes, button_name):
        browser = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_browser.py")
        self.wine.env["QELMORA_BROWSER_LOG"] = os.path.join(self.wine.base, "browser.log")
        self.wine.run_raw(["wine", "reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers",
                           "/d", browser, "/f"], timeout=60)
        report = FaultServer(port=harness.REPORT_PORT)
        self.servers.append(report)
        self.fault_server(routes)
        name = self.wine.driver("computername")[1]
        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        self.assertEqual(self.names("main")[1003][0], button_name, "what the button's picture says")
        self.real_click(1003)
        self.assertTrue(self.wait_exit(10), "the window closes after the report")
        # The first address a fresh prefix opens starts Wine's browser stand-in and its services: on a busy
        # machine that takes a while, so the wait is long (it ends as soon as the request comes).
        deadline = time.time() + 60
        while time.time() < deadline and not report.requests:
            time.sleep(0.1)
        self.assertEqual([r["line"] for r in report.requests],
                         ["GET /other/install.aspx?usermac=[%s]&agent=20&prd=702&type=204 HTTP/1.1" % name])
        print("report request line:", report.requests[0]["line"])

    def test_finish_opens_the_report_address_and_closes(self):
        self.check_report_on_finish({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}}, "立即体验")

    def test_exit_after_a_failed_install_sends_the_same_report_and_closes(self):
        self.check_report_on_finish({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"status": 500}}, "退出安装")

    def test_minimise_and_the_never_visible_controls(self):
        self.fault_server({"list.txt": {"body": b""}})
        self.start_installer()
        self.real_click(1018)
        self.wait_for(lambda: self.wine.driver("iconic")[1] == "1", 10)
        self.assertEqual(self.wine.driver("iconic")[1], "1")
        self.wine.end_session()
        self.proc.wait(10)
        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        for never in (1002, 1014, 1015, 1016, 1017, 1001, 1020):
            self.assertFalse(self.visible(never), never)


if __name__ == "__main__":
    unittest.main(verbosity=2)
