"""The install-folder chooser: docked under the window, following it, and the folder it gives."""
import os
import shutil
import time
import unittest

from installer_case import InstallerCase

DEFAULT = "C:\\Program Files\\Qelmora\\"
NEED_FULL_PATH = "请输入完整的安装路径，例如“D:\\Qelmora\\”。"


def hexed(text):
    return text.encode("gbk").hex()


class Chooser(InstallerCase):
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
