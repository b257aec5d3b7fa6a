"""The install-folder chooser: docked under the window, following it, and the folder it gives; the folder a standard
user gets when Program Files is closed to them."""
import os
import shutil
import subprocess
import time
import unittest

import harness
from installer_case import SELF_DELETE, InstallerCase

DEFAULT = "C:\\Program Files\\Qelmora\\"
NEED_FULL_PATH = "请输入完整的安装路径，例如“D:\\Qelmora\\”。"
CANNOT_CREATE = "无法在该文件夹中创建文件，请选择其他文件夹。"
DISK_FULL = "磁盘空间不足，安装已停止。"


def hexed(text):
    return text.encode("gbk").hex()


class ChooserCase(InstallerCase):
    module = "chooser"

    def chooser(self):
        rc, text = self.wine.driver("chooser")
        self.assertEqual(rc, 0, "the chooser exists")
        parts = text.split()
        return parts[1] == "1", [int(v) for v in parts[2:6]], parts[6] if len(parts) > 6 else ""

    def drag_window_by(self, dx, dy):
        left, top, right, bottom = self.rect(0)
        x, y = left + 40, bottom - 40     # the window's own surface, away from the buttons
        for step in (("mousemove", x, y), ("mousedown", 1), ("mousemove", x + dx // 2, y + dy // 2),
                     ("mousemove", x + dx, y + dy), ("mouseup", 1)):
            self.wine.xdotool(*step)
            time.sleep(0.3)
        self.wait_for(lambda: self.rect(0)[:2] == [left + dx, top + dy], 10)

    def wait_chooser_shown(self, shown):
        self.wait_for(lambda: self.chooser()[0] == shown, 10)



class Chooser(ChooserCase):
    def test_panel_docks_under_the_window_and_follows_it(self):
        self.fault_server({})
        self.start_installer()
        visible, _, _ = self.chooser()
        self.assertFalse(visible, "created hidden")
        self.real_click(1020)
        self.wait_chooser_shown(True)
        visible, box, text = self.chooser()
        window = self.rect(0)
        self.assertTrue(visible)
        self.assertEqual((box[0], box[1], box[2]), (window[0], window[3], window[2]), "flush under, as wide")
        self.assertEqual(text, hexed(DEFAULT), "shows the current folder")
        self.shot("chooser-open")

        self.drag_window_by(-120, -80)
        moved = self.rect(0)
        self.assertNotEqual(moved, window, "dragging the body moves the window")
        visible, box2, _ = self.chooser()
        self.assertEqual((box2[0], box2[1]), (moved[0], moved[3]), "the panel follows")
        self.assertEqual(box2[2] - box2[0], box[2] - box[0])
        self.assertEqual(box2[3] - box2[1], box[3] - box[1])

        self.real_click(1020)
        self.wait_chooser_shown(False)
        visible, hidden_box, _ = self.chooser()
        self.assertFalse(visible)
        self.drag_window_by(100, 60)
        self.assertNotEqual(self.rect(0), moved)
        self.assertEqual(self.chooser()[1], hidden_box, "a hidden panel stays put")

    def test_typed_folder_without_separator_is_used_by_the_install(self):
        self.fault_server({"list.txt": {"body": b"a.dll\r\nsub/b.dll\r\n"}, "a.dll": {"body": b"A"},
                           "sub/b.dll": {"body": b"B"}})
        custom = self.wine.host_path("C:\\Custom\\Place\\")
        shutil.rmtree(self.wine.host_path("C:\\Custom\\"), ignore_errors=True)
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        self.assertEqual(self.wine.driver("chooser-type", "C:\\Custom\\Place")[0], 0)
        self.wine.driver("click", 1001)            # the panel is still open
        self.assertTrue(self.wait_visible(1003))
        with open(os.path.join(custom, "a.dll"), "rb") as f:
            self.assertEqual(f.read(), b"A")
        with open(os.path.join(custom, "sub", "b.dll"), "rb") as f:
            self.assertEqual(f.read(), b"B")
        self.assertFalse(os.path.exists(self.wine.host_path("C:\\Custom\\Placea.dll")))

    def test_browse_appends_the_product_folder(self):
        self.fault_server({})
        os.makedirs(self.wine.host_path("C:\\Apps\\"), exist_ok=True)
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        self.wine.driver("chooser-click", 1001)
        rc, text = self.wine.driver("wait-browser", 15000)
        self.assertEqual(rc, 0, "the folder browser came up")
        left, top, right, bottom = [int(v) for v in text.split()[1:5]]
        # Wine's folder browser has no edit box: pick C:\Apps in its tree as a user would, with the
        # keyboard after a click on the tree's empty lower part.
        self.wine.xdotool("mousemove", left + 30, bottom - 8)
        self.wine.xdotool("click", 1)
        time.sleep(0.6)
        for key in ("Home", "End", "Right", "Down", "Right"):
            self.key(key)
            time.sleep(0.6)
        self.wine.xdotool("type", "Apps")
        time.sleep(0.8)
        self.shot("chooser-browse")
        self.key("Return")
        deadline = time.time() + 10
        text = ""
        while time.time() < deadline:
            text = self.chooser()[2]
            if text != hexed(DEFAULT):
                break
            time.sleep(0.3)
        self.assertEqual(text, hexed("C:\\Apps\\Qelmora\\"))

    def answer_full_path_box(self, typed):
        """The box that asks for a full path: owned by the main window; answered, the text is selected."""
        rc, text = self.wine.driver("wait-msgbox", 10000)
        self.assertEqual(rc, 0, "a message box for %r" % typed)
        parts = text.split()
        self.assertEqual(parts[1], "1", "owned by the main window")
        self.assertEqual(parts[6], hexed(NEED_FULL_PATH), typed)
        box = [int(v) for v in parts[2:6]]
        window = self.rect(0)
        time.sleep(0.5)
        self.wine.gdi_screenshot("chooser-not-full-path", [min(box[0], window[0]), min(box[1], window[1]),
                                                           max(box[2], window[2]), max(box[3], window[3] + 50)])
        self.assertEqual(self.wine.driver("msgbox-ok")[0], 0)
        time.sleep(0.8)
        visible, _, shown = self.chooser()
        self.assertTrue(visible, "the panel stays open")
        self.assertEqual(shown, hexed(typed), "with the text as typed")
        self.assertEqual(self.wine.driver("chooser-sel")[1], "sel 0 %d 1" % len(typed), "selected, with the focus")

    def test_a_folder_that_is_not_a_full_path_is_refused_not_replaced(self):
        server = self.fault_server({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}})
        trimmed = self.wine.host_path("C:\\Trimmed Place\\")
        shutil.rmtree(trimmed, ignore_errors=True)
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        for typed in ("Apps", " D:Apps ", "\\\\server"):
            self.assertEqual(self.wine.driver("chooser-type", typed)[0], 0)
            self.wine.driver("click", 1001)
            self.answer_full_path_box(typed)
            self.assertTrue(self.visible(1001), "the install did not start")
        self.wine.driver("click", 1020)          # closing the panel asks the same
        self.answer_full_path_box("\\\\server")
        self.assertEqual(server.requests, [])
        self.assertFalse(os.path.exists(self.dir), "nothing made in the default folder")

        self.assertEqual(self.wine.driver("chooser-type", "   C:\\Trimmed Place  ")[0], 0)
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        with open(os.path.join(trimmed, "a.dll"), "rb") as f:
            self.assertEqual(f.read(), b"A", "installed into the folder without the blanks around it")
        self.assertFalse(os.path.exists(self.dir))

    def test_blank_text_still_means_the_default(self):
        self.fault_server({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}})
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        self.assertEqual(self.wine.driver("chooser-type", "   ")[0], 0)
        self.wine.driver("click", 1020)
        time.sleep(0.5)
        self.assertFalse(self.chooser()[0], "an empty folder closes the panel without a question")
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        with open(self.local("a.dll"), "rb") as f:
            self.assertEqual(f.read(), b"A")

    def test_minimise_and_restore_bring_the_panel_back_docked_after_a_drag(self):
        self.fault_server({})
        self.start_installer()
        self.real_click(1020)
        self.wait_chooser_shown(True)
        _, opened, _ = self.chooser()
        self.drag_window_by(-150, -90)
        moved = self.rect(0)
        self.real_click(1018)
        self.wait_for(lambda: self.wine.driver("iconic")[1] == "1", 10)
        self.assertEqual(self.wine.driver("iconic")[1], "1")
        self.assertFalse(self.chooser()[0], "the panel goes with its owner")
        self.assertEqual(self.wine.driver("restore")[0], 0)
        self.wait_for(lambda: self.wine.driver("iconic")[1] == "0" and self.chooser()[0], 10)
        self.assertEqual(self.wine.driver("iconic")[1], "0")
        self.assertEqual(self.rect(0), moved, "the window comes back where it was dragged")
        visible, box, _ = self.chooser()
        self.shot("chooser-restored")
        self.assertTrue(visible, "the panel comes back with it")
        self.assertEqual(box, [moved[0], moved[3], moved[2], moved[3] + opened[3] - opened[1]],
                         "docked under the window where it is now")


class StandardUser(ChooserCase):
    """As a standard user meets the installer under UAC: a Program Files in which they cannot create files (made so
    with chattr +i, which Wine reports as access denied, as Windows does)."""

    def setUp(self):
        super().setUp()
        self.program_files = os.path.join(self.wine.prefix, "drive_c", "Program Files")
        subprocess.run(["chattr", "-i", self.program_files], check=True)   # a mark a killed run may have left
        shutil.rmtree(self.dir, ignore_errors=True)
        subprocess.run(["chattr", "+i", self.program_files], check=True)
        self.addCleanup(subprocess.run, ["chattr", "-i", self.program_files])

    def test_the_per_user_folder_is_offered_used_named_and_removed_by_the_uninstall_link(self):
        self.fault_server({"list.txt": {"body": b"a.dll\r\nsub/b.dll\r\n"}, "a.dll": {"body": b"A"},
                           "sub/b.dll": {"body": b"B"}})
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        folder = bytes.fromhex(self.chooser()[2]).decode("gbk")
        self.assertRegex(folder, r"^C:\\users\\[^\\]+\\AppData\\Local\\Programs\\Qelmora\\$")
        local = self.wine.host_path(folder)
        shutil.rmtree(local, ignore_errors=True)
        self.addCleanup(shutil.rmtree, local, True)
        self.wine.driver("click", 1020)
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003))
        self.shot("standard-user-finished")
        for name, data in (("a.dll", b"A"), ("sub/b.dll", b"B")):
            with open(os.path.join(local, name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertNotIn("Qelmora", os.listdir(self.program_files))
        self.assertEqual([n for n in os.listdir(os.path.dirname(local.rstrip("/"))) if n.startswith("~qelmora")], [],
                         "the probes left nothing behind")
        with open(os.path.join(local, "unload.bat"), "rb") as f:
            script = f.read()
        self.assertIn(harness.batch_file_line(folder + "a.dll") + harness.batch_file_line(folder + "sub/b.dll"), script)
        self.assertTrue(script.endswith(SELF_DELETE))

        programs = dict(l.split("=", 1) for l in self.wine.driver("folders")[1].splitlines())["programs"]
        link = programs + "\\Qelmora\\Qelmora卸载.lnk"
        self.assertIn(b'del "' + link.encode("gbk") + b'"', script)
        rc, text = self.wine.driver("lnkw", harness.hexed(link))
        self.assertEqual(rc, 0, link)
        fields = dict(line.split(" ", 1) for line in text.splitlines())
        self.assertEqual(harness.unhexed(fields["target"]), folder + "unload.bat")
        self.wine.driver("click", 1003)
        self.assertTrue(self.wait_exit(15))
        rc, text = self.wine.driver("shell-open", harness.hexed(link), 60000, timeout=90)
        self.assertEqual(rc, 0, "the shell runs the uninstall link")
        deadline = time.time() + 60
        while time.time() < deadline and os.path.exists(os.path.join(local, "unload.bat")):
            time.sleep(0.2)
        for name in ("a.dll", "sub/b.dll", "unload.bat"):
            self.assertFalse(os.path.exists(os.path.join(local, name)), name)

    def test_a_folder_that_takes_no_file_is_refused_before_any_request(self):
        server = self.fault_server({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}})
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        typed = "C:\\Program Files\\Other\\"
        self.assertEqual(self.wine.driver("chooser-type", typed)[0], 0)
        self.wine.driver("click", 1001)
        rc, text = self.wine.driver("wait-msgbox", 10000)
        self.assertEqual(rc, 0, "a message box says why")
        parts = text.split()
        self.assertEqual(parts[1], "1", "owned by the main window")
        self.assertEqual(parts[6], hexed(CANNOT_CREATE))
        box = [int(v) for v in parts[2:6]]
        self.wine.gdi_screenshot("standard-user-refusal", box)
        self.assertEqual(self.wine.driver("msgbox-ok")[0], 0)
        time.sleep(0.8)
        visible, _, shown = self.chooser()
        self.assertTrue(visible, "the panel stays open")
        self.assertEqual(shown, hexed(typed))
        self.assertEqual(self.wine.driver("chooser-sel")[1], "sel 0 %d 1" % len(typed), "selected, with the focus")
        self.assertTrue(self.visible(1001), "the window stays in its first state")
        self.assertEqual(server.requests, [])

    def test_a_full_disk_ends_the_install_at_once_with_one_message(self):
        # Drive Q: is a tmpfs of 1 MiB; the second file does not fit.
        disk = os.path.join(self.wine.base, "small-disk")
        os.makedirs(disk, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", disk], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", disk])
        drive = os.path.join(self.wine.prefix, "dosdevices", "q:")
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(disk, drive)
        self.addCleanup(os.remove, drive)
        names = ["small.dll", "big.dll"] + ["f%02d.dll" % i for i in range(16)]
        routes = {"list.txt": {"body": "\r\n".join(names).encode()}, "big.dll": {"body": os.urandom(3 << 20)}}
        for name in names:
            routes.setdefault(name, {"body": name.encode()})
        server = self.fault_server(routes)
        self.start_installer()
        self.wine.driver("click", 1020)
        time.sleep(0.8)
        self.assertEqual(self.wine.driver("chooser-type", "Q:\\Qelmora\\")[0], 0)
        self.wine.driver("click", 1001)
        started = time.time()
        rc, text = self.wine.driver("wait-msgbox", 30000)
        self.assertEqual(rc, 0, "the full disk is told")
        self.assertEqual(text.split()[6], hexed(DISK_FULL))
        print("\nfull disk to message: %.1f s, %d requests" % (time.time() - started, len(server.requests)))
        self.assertEqual(self.wine.driver("msgbox-ok")[0], 0)
        self.assertTrue(self.wait_visible(1003))
        self.assertNotEqual(self.wine.driver("wait-msgbox", 2000)[0], 0, "one message per run")
        self.shot("standard-user-disk-full")
        asked = [r["path"] for r in server.requests]
        self.assertEqual(len(asked), len(set(asked)), "no download repeated")
        self.assertLessEqual(len(asked), 1 + 9, "the list and the downloads already under way, no more")
        placed = [n for n in names if os.path.exists(os.path.join(disk, "Qelmora", n))]
        self.assertNotIn("big.dll", placed)
        with open(os.path.join(disk, "Qelmora", "unload.bat"), "rb") as f:
            script = f.read()
        self.assertTrue(script.endswith(b"".join(harness.batch_file_line("Q:\\Qelmora\\" + n) for n in placed) +
                                        SELF_DELETE), script)
        self.assertEqual([n for n in os.listdir(os.path.join(disk, "Qelmora")) if n.endswith(".~qdl")], [],
                         "kept bytes dropped")


if __name__ == "__main__":
    unittest.main(verbosity=2)
