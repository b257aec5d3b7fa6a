"""Shortcuts, the program group and the complete uninstall script, and running that script."""
import os
import time
import unittest

from installer_case import INSTALL_DIR, SCRIPT_HEAD, SELF_DELETE, InstallerCase

UNINSTALL_LINK = "Qelmora卸载.lnk"


class Shortcuts(InstallerCase):
    module = "shortcuts"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        rc, text = cls.wine.driver("folders")
        folders = dict(line.split("=", 1) for line in text.splitlines())
        cls.desktop, cls.programs = folders["desktop"], folders["programs"]
        cls.group = cls.programs + "\\Qelmora"

    def links(self):
        return {"desktop": self.desktop + "\\Qelmora.lnk", "product": self.group + "\\Qelmora.lnk",
                "uninstall": self.group + "\\" + UNINSTALL_LINK}

    def expected_tail(self):
        def line(path):
            return b'del "' + path.encode("gbk") + b'"\r\n'
        links = self.links()
        return (line(links["desktop"]) + line(links["product"]) + line(links["uninstall"]) +
                b'rd /q/s"' + self.group.encode("gbk") + b'"\r\n' + SELF_DELETE)

    def install(self, routes):
        self.fault_server(routes)
        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        self.wine.driver("click", 1003)
        self.assertTrue(self.wait_exit(15))

    def read_link(self, path):
        rc, text = self.wine.driver("lnk", path)
        self.assertEqual(rc, 0, "no link at " + path)
        return dict(line.split("=", 1) for line in text.splitlines())

    def test_complete_run_makes_three_links_and_the_whole_script(self):
        self.install({"list.txt": {"body": b"a.dll\r\nsub/b.dll\r\n"}, "a.dll": {"body": b"A"},
                      "sub/b.dll": {"body": b"B"}})
        self.assertEqual(self.script(), self.file_line("a.dll") + self.file_line("sub/b.dll") + self.expected_tail())
        exe = INSTALL_DIR + "Termview.exe"
        script = INSTALL_DIR + "unload.bat"
        # Ctrl+F12 starts the product; the uninstall link, which deletes without asking, answers none.
        for name, target, hotkey in (("desktop", exe, "0x027B"), ("product", exe, "0x027B"),
                                     ("uninstall", script, "0x0000")):
            fields = self.read_link(self.links()[name])
            self.assertEqual(fields["target"], target, name)
            self.assertEqual(fields["description"], target, name)
            self.assertEqual(fields["hotkey"], hotkey, name)
            self.assertEqual(fields["showcmd"], "1", name)
            self.assertEqual((fields["workdir"], fields["arguments"], fields["icon"]), ("", "", ""), name)
        self.assertTrue(os.path.exists(os.path.join(self.wine.home, "Desktop", "Qelmora.lnk")) or
                        os.path.exists(self.wine.host_path(self.links()["desktop"])),
                        "the desktop link stays inside the test's own HOME")

    def test_empty_manifest_still_makes_every_shortcut(self):
        self.install({"list.txt": {"body": b""}})
        self.assertEqual(self.script(), self.expected_tail())
        for path in self.links().values():
            self.read_link(path)

    def test_manifest_404_writes_only_the_last_line(self):
        self.fault_server({})
        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        self.assertEqual(self.script(), SELF_DELETE)

    def test_reinstall_overwrites_the_links_in_an_existing_group(self):
        routes = {"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}}
        self.install(routes)
        link = self.wine.host_path(self.links()["product"])
        first = os.stat(link).st_mtime_ns
        for server in self.servers:
            server.close()
        self.servers = []
        time.sleep(1.1)
        self.install(routes)
        self.assertGreater(os.stat(link).st_mtime_ns, first)
        self.assertEqual(self.script(), self.file_line("a.dll") + self.expected_tail())

    def test_a_link_that_cannot_be_saved_gets_no_line(self):
        # A folder where a link's file would go: the save fails, and the script must not name a link the
        # install did not make. The group is there, so its removal line stays.
        blockers = [self.wine.host_path(self.links()["desktop"]), self.wine.host_path(self.links()["uninstall"])]
        for blocker in blockers:
            if os.path.isfile(blocker):
                os.remove(blocker)   # a link of an earlier test
            os.makedirs(blocker, exist_ok=True)
            self.addCleanup(os.rmdir, blocker)
        self.install({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}})
        product_line = b'del "' + self.links()["product"].encode("gbk") + b'"\r\n'
        self.assertEqual(self.script(), self.file_line("a.dll") + product_line +
                         b'rd /q/s"' + self.group.encode("gbk") + b'"\r\n' + SELF_DELETE)
        self.read_link(self.links()["product"])

    def point_programs_at(self, path):
        key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"
        self.wine.run_raw(["wine", "reg", "add", key, "/v", "Programs", "/t", "REG_EXPAND_SZ", "/d", path, "/f"])
        self.addCleanup(self.wine.run_raw, ["wine", "reg", "add", key, "/v", "Programs", "/t", "REG_EXPAND_SZ",
                                            "/d", self.programs, "/f"])

    def test_without_a_usable_programs_folder_there_is_no_group_and_no_rd_line(self):
        # 255 bytes: "\\Qelmora" would still fit 260, its links would not. A folder the shell cannot give
        # (a drive that does not exist) must not become "\\Qelmora" at the root of the current drive.
        # Either way nothing may be made in, or removed from, the folders above.
        long_programs = "C:\\" + "L" * 120 + "\\" + "P" * (255 - 124)
        self.assertEqual(len(long_programs), 255)
        os.makedirs(self.wine.host_path(long_programs), exist_ok=True)
        for programs in (long_programs, "Q:\\nowhere\\Programs"):
            with self.subTest(programs=programs[:20]):
                self.point_programs_at(programs)
                self.install({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}})
                desktop_line = b'del "' + self.links()["desktop"].encode("gbk") + b'"\r\n'
                self.assertEqual(self.script(), self.file_line("a.dll") + desktop_line + SELF_DELETE)
                self.read_link(self.links()["desktop"])
                for server in self.servers:
                    server.close()
                self.servers = []
        for folder in (long_programs, "C:\\" + "L" * 120):
            self.assertEqual([n for n in os.listdir(self.wine.host_path(folder)) if n.endswith(".lnk")], [], folder)
        self.assertFalse(os.path.exists(self.wine.host_path("C:\\Qelmora")))

    def test_running_the_script_removes_what_was_installed(self):
        self.install({"list.txt": {"body": b"a.dll\r\nsub/b.dll\r\nsub\\deep\\c.dll\r\n100%.dat\r\nd!x!.dll\r\n"},
                      "a.dll": {"body": b"A"}, "sub/b.dll": {"body": b"B"}, "sub/deep/c.dll": {"body": b"C"},
                      "100%25.dat": {"body": b"P"}, "d!x!.dll": {"body": b"D"}})
        group = self.wine.host_path(self.group)
        self.assertTrue(os.path.isdir(group))
        with open(os.path.join(self.dir, "unload.bat"), "rb") as f:
            self.assertTrue(f.read().startswith(SCRIPT_HEAD))
        # The user's own d.dll, which a del line read with delayed expansion on (cmd /v:on, or switched on for
        # every cmd in the registry) would name: "d!x!.dll" with the undefined x expanded to nothing.
        with open(self.local("d.dll"), "wb") as f:
            f.write(b"the user's")
        rc = self.wine.run_raw(["wine", "cmd", "/v:on", "/c", INSTALL_DIR + "unload.bat"], timeout=120,
                               log=os.path.join(self.wine.base, "unload.log"))
        self.assertEqual(rc, 0)
        for name in ("a.dll", "sub/b.dll", "sub/deep/c.dll", "100%.dat", "d!x!.dll", "unload.bat"):
            self.assertFalse(os.path.exists(self.local(name)), name)
        self.assertTrue(os.path.exists(self.local("d.dll")), "nothing the install did not make")
        for path in self.links().values():
            self.assertFalse(os.path.exists(self.wine.host_path(path)), path)
        # The group line is written as the installer's format fixes it, rd /q/s"<group>" with no space
        # before the quote; Wine's cmd does not split a switch from a glued quote and answers "missing
        # parameter", so under Wine the group folder is left behind, empty.
        self.assertFalse(os.path.exists(group) and os.listdir(group), "the group is emptied")
        self.assertTrue(os.path.isdir(self.local("sub/deep")), "folders of the product stay")


if __name__ == "__main__":
    unittest.main(verbosity=2)
