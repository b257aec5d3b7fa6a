"""The installer on a system of another code page: the tests that each locale's module runs.

The product's names, the manifest and the program's texts are code page 936 on every system. Whatever the
system's ANSI and OEM code pages, files and links must land under their Unicode names, requests must carry
the same bytes, texts must reach windows as they are, and unload.bat, which cmd reads in the OEM code page,
must remove exactly what the install made when it is run through the uninstall link.
"""
import os
import shutil
import time

import harness
from harness import hexed, unhexed
from installer_case import INSTALL_DIR, PREFIX, SELF_DELETE, without_head

UNINSTALL_LINK = "Qelmora卸载.lnk"
# 乗 is 0x81 0x5C in code page 936: its second byte reads as '\' to anything that does not know the
# code page. None of the Chinese names below has a form in code page 437, and 乗, 数据 and 说明 none in 950.
PRODUCT = {
    "a.dll": b"A",
    "乗\\数据.txt": "数据".encode("gbk"),
    "中文\\说明.dll": b"DLL",
}
MANIFEST = b"\r\n".join(name.encode("gbk") for name in PRODUCT) + b"\r\n"
NEED_GBK_PATH = "安装路径含有无法使用的字符，请选择其他文件夹。"
NEED_FULL_PATH = "请输入完整的安装路径，例如“D:\\Qelmora\\”。"
OEM_CODECS = {936: "gbk", 950: "cp950", 437: "cp437", 65001: "utf-8"}
ANSI_CODECS = {936: "gbk", 950: "cp950", 1252: "cp1252", 65001: "utf-8"}


def wire(name):
    """The request path of a manifest line: %XX of every byte of a two-byte character, '\\' sent as '/'."""
    return PREFIX + "".join("/" if c == "\\" else c if ord(c) < 0x80 else
                            "".join("%%%02X" % b for b in c.encode("gbk")) for c in name)


class CodePageTests:
    """Mixed into an InstallerCase whose module sets locale."""
    code_pages = None   # (ANSI, OEM) the locale must give

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        rc, text = cls.wine.driver("codepages")
        cls.acp, cls.oemcp = [int(v) for v in text.split()[1::2]]
        rc, text = cls.wine.driver("folders")
        folders = dict(line.split("=", 1) for line in text.splitlines())
        cls.desktop, cls.programs = folders["desktop"], folders["programs"]
        cls.group = cls.programs + "\\Qelmora"

    def test_the_locale_gives_its_code_pages(self):
        self.assertEqual((self.acp, self.oemcp), self.code_pages)

    def links(self):
        return [self.desktop + "\\Qelmora.lnk", self.group + "\\Qelmora.lnk", self.group + "\\" + UNINSTALL_LINK]

    def install(self, folder=None):
        """Installs PRODUCT from nginx, into folder when given (pasted into the chooser), and closes."""
        server = self.nginx(PRODUCT, MANIFEST)
        self.start_installer()
        if folder:
            self.wine.driver("click", 1020)
            time.sleep(0.8)
            self.assertEqual(self.wine.driver("chooser-paste", hexed(folder))[0], 0)
            self.assertEqual(unhexed(self.wine.driver("chooserw")[1].split()[2]), folder, "kept as pasted")
            self.shot(self.module + "-chooser")
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003), "the install ended")
        self.wine.driver("click", 1003)
        self.assertTrue(self.wait_exit(15))
        return server

    def script_at(self, folder):
        with open(os.path.join(self.wine.host_path(folder), "unload.bat"), "rb") as f:
            return without_head(f.read())

    def check_script(self, folder, script):
        """Every line in the OEM code page, none with a '?' (a wildcard for del)."""
        self.assertNotIn(b"?", script)
        script.decode(OEM_CODECS[self.oemcp])
        self.assertTrue(script.endswith(SELF_DELETE))
        try:
            plain = b'del "' + (folder + "a.dll").encode(OEM_CODECS[self.oemcp]) + b'"\r\n'
        except UnicodeEncodeError:
            plain = None   # the folder itself has no form there: its short name stands in
        if plain:
            self.assertTrue(script.startswith(plain), "a name the code page holds is written as it is")

    def uninstall_through_the_link(self, folder):
        """Opens the uninstall link as a double click does and waits for the script to delete itself."""
        rc, text = self.wine.driver("shell-open", hexed(self.group + "\\" + UNINSTALL_LINK), 60000, timeout=90)
        self.assertEqual(rc, 0, "the shell runs the link")
        self.assertIn(text, ("exit 0", "started"))
        script = self.wine.host_path(folder + "unload.bat")
        deadline = time.time() + 60
        while time.time() < deadline and os.path.exists(script):
            time.sleep(0.2)
        self.assertFalse(os.path.exists(script), "the script ran to its last line")

    def check_removed(self, folder):
        for name in list(PRODUCT) + ["unload.bat"]:
            self.assertFalse(os.path.exists(self.wine.host_path(folder + name)), name)
        for link in self.links():
            self.assertFalse(os.path.exists(self.wine.host_path(link)), link)
        # Wine's cmd does not run rd /q/s"<group>" (no space before the quote): the group may stay, empty.
        group = self.wine.host_path(self.group)
        self.assertFalse(os.path.isdir(group) and os.listdir(group), "the group is emptied")

    def test_gbk_names_and_links_land_under_their_names_and_the_link_removes_them(self):
        server = self.install()
        for name, data in PRODUCT.items():
            with open(self.wine.host_path(INSTALL_DIR + name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        requested = sorted(p for p in __import__("re").findall(r'"GET (\S+) HTTP/1\.0" 200', server.access_log()))
        self.assertEqual(requested, sorted([PREFIX + "list.txt"] + [wire(n) for n in PRODUCT]),
                         "the same request bytes on every system")
        exe, script_path = INSTALL_DIR + "Termview.exe", INSTALL_DIR + "unload.bat"
        for link, target, hotkey in zip(self.links(), (exe, exe, script_path), ("0x027B", "0x027B", "0x0000")):
            self.assertTrue(os.path.exists(self.wine.host_path(link)), link)
            rc, text = self.wine.driver("lnkw", hexed(link))
            self.assertEqual(rc, 0, link)
            fields = dict(line.split(" ", 1) for line in text.splitlines())
            self.assertEqual((unhexed(fields["target"]), unhexed(fields["description"]), fields["hotkey"]),
                             (target, target, hotkey), link)
        script = self.script()
        self.check_script(INSTALL_DIR, script)
        self.assertEqual(script.count(b"\r\n"), len(PRODUCT) + 4, "a line for every file and link and the group")
        if self.oemcp == 936:
            self.assertEqual(script, b"".join(self.file_line(n) for n in PRODUCT) +
                             b"".join(b'del "' + l.encode("gbk") + b'"\r\n' for l in self.links()) +
                             b'rd /q/s"' + self.group.encode("gbk") + b'"\r\n' + SELF_DELETE)
        self.uninstall_through_the_link(INSTALL_DIR)
        self.check_removed(INSTALL_DIR)

    def test_a_pasted_folder_is_used_as_pasted(self):
        for folder in ("C:\\应用\\", "C:\\Café\\"):
            with self.subTest(folder=folder):
                shutil.rmtree(self.wine.host_path(folder), ignore_errors=True)
                self.addCleanup(shutil.rmtree, self.wine.host_path(folder), True)
                self.install(folder)
                for name, data in PRODUCT.items():
                    with open(self.wine.host_path(folder + name), "rb") as f:
                        self.assertEqual(f.read(), data, name)
                self.assertFalse(os.path.exists(self.dir), "nothing went to the default folder")
                self.check_script(folder, self.script_at(folder))
                self.assertTrue(os.path.exists(self.wine.host_path(self.group + "\\" + UNINSTALL_LINK)))
                rc, text = self.wine.driver("lnkw", hexed(self.group + "\\" + UNINSTALL_LINK))
                target = unhexed(dict(l.split(" ", 1) for l in text.splitlines())["target"])
                try:
                    folder.encode(ANSI_CODECS[self.acp])
                    self.assertEqual(target, folder + "unload.bat")
                except UnicodeEncodeError:
                    # Wine's shell link keeps its target in the ANSI code page only, where this folder has
                    # no form: the link names the script by its short form, never with a "?".
                    self.assertNotIn("?", target)
                    self.assertTrue(target.lower().endswith("\\unload.bat"), target)
                self.uninstall_through_the_link(folder)
                self.check_removed(folder)
                for server in self.servers:
                    server.close()
                self.servers = []

    def test_a_folder_without_a_gbk_form_is_refused_in_words_not_question_marks(self):
        server = self.fault_server({})
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        # Ð has no GBK form, and a best-fit conversion would quietly make it D (², ª: 2, a).
        for folder, click, text in (("C:\\\U0001F600\\", 1001, NEED_GBK_PATH), ("C:\\Ð²ª\\", 1001, NEED_GBK_PATH),
                                    ("Apps", 1020, NEED_FULL_PATH)):
            self.wine.driver("chooser-paste", hexed(folder))
            self.wine.driver("click", click)
            rc, answer = self.wine.driver("wait-msgboxw", 10000)
            self.assertEqual(rc, 0, "a message box says why")
            self.assertEqual(unhexed(answer.split()[1]), text, "the GB2312 text, read back in UTF-16")
            # X11 shows a message box black under Xvfb: Windows' own view of the screen instead.
            box = [int(v) for v in self.wine.driver("wait-msgbox", 5000)[1].split()[2:6]]
            self.wine.gdi_screenshot("%s-refusal-%d" % (self.module, click), box)
            self.wine.driver("msgbox-ok")
            self.assertEqual(unhexed(self.wine.driver("chooserw")[1].split()[2]), folder, "the text stays")
        self.assertTrue(self.visible(1001), "no install started")
        self.assertEqual(server.requests, [])

    def test_a_name_the_oem_code_page_cannot_hold_is_named_by_its_short_form_or_not_at_all(self):
        folder = "C:\\qnames\\"
        shutil.rmtree(self.wine.host_path(folder), ignore_errors=True)
        self.addCleanup(shutil.rmtree, self.wine.host_path(folder), True)
        os.makedirs(self.wine.host_path(folder + "数据"))
        with open(self.wine.host_path(folder + "数据\\说明.txt"), "wb") as f:
            f.write(b"x")
        codec = OEM_CODECS[self.oemcp]
        for path, exists in ((folder + "数据\\说明.txt", True), (folder + "100%.dat", False),
                             (folder + "缺\U0001F600.txt", False), (folder + "数据\\无.txt", False)):
            with self.subTest(path=path):
                rc, text = self.wine.driver("script-name", hexed(path))
                self.assertEqual(rc, 0)
                try:
                    plain = path.replace("%", "%%").encode(codec)
                except UnicodeEncodeError:
                    plain = None
                if plain is not None:
                    self.assertEqual(text, "name " + plain.hex())
                elif exists:
                    name = bytes.fromhex(text.split()[1])
                    self.assertNotIn(b"?", name)
                    self.assertTrue(name.startswith(folder.encode()), name)
                else:
                    self.assertEqual(text, "none", "no form and no short name: no line")
