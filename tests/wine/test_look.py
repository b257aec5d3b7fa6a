"""The main window's look read back as pixels: progress track and fill, button looks, dragging, and the
windows' geometry, in a prefix with a stand-in for 宋体 and in one without."""
import os
import time
import unittest

from PIL import Image

import harness
from installer_case import InstallerCase

WHITE = "FFFFFF"
FILL = "0000BD"   # COLORREF 0x000000BD as GetPixel prints it: red 189
BITMAPS = os.path.join(harness.ROOT, "res", "bitmaps")
BUTTON_ART = (249, 200, 215, 40)           # where 1003 shows its bitmap, in client pixels
PATH_ART = (413, 272, 107, 24)             # 1020's bitmap
MINIMIZE_ART = (531, 3, 13, 13)            # 1018's bitmap
STATUS_BAND = (0, 246, 585, 51)            # under the finish button, to the window's lower edge


def region(img, box):
    x, y, w, h = box
    return img.crop((x, y, x + w, y + h)).convert("RGB")


def differing(a, b):
    return sum(1 for p, q in zip(a.getdata(), b.getdata()) if p != q)


def status_pixels(img):
    """Pixels of the failed end's dark red text in the band under the button, in window coordinates."""
    band = region(img, STATUS_BAND)
    found = []
    for i, (r, g, b) in enumerate(band.getdata()):
        if r > 110 and g < 100 and b < 90:
            found.append((i % band.width + STATUS_BAND[0], i // band.width + STATUS_BAND[1]))
    return found


class Look(InstallerCase):
    module = "look"

    def pixel(self, x, y):
        rc, text = self.wine.driver("pixel", x, y)
        self.assertEqual(rc, 0)
        return text.split()[1][-6:]

    def test_progress_track_and_fill_at_one_line_of_three(self):
        self.fault_server({"list.txt": {"body": b"one.dll\r\ntwo.dll\r\nthree.dll\r\n"}, "one.dll": {"body": b"1"},
                           "two.dll": harness.trickle(b"2" * 100000),
                           "three.dll": {"body": b"3"}})
        left, top, _, _ = self.start_installer()
        self.wine.driver("click", 1001)
        deadline = time.time() + 20
        while time.time() < deadline and self.wine.driver("progress")[1] != "progress 3 1":
            time.sleep(0.2)
        time.sleep(0.5)
        self.shot("look-progress-1-of-3")
        # Track (224, 209)-(414, 221); at 1 of 3 the fill ends at 224 + 190/3 = 287 (exclusive).
        self.assertEqual(self.pixel(left + 224, top + 209), FILL)
        self.assertEqual(self.pixel(left + 286, top + 220), FILL)
        self.assertEqual(self.pixel(left + 287, top + 215), WHITE)
        self.assertEqual(self.pixel(left + 413, top + 215), WHITE)
        self.assertNotEqual(self.pixel(left + 414, top + 215), WHITE, "the track ends at 414")
        self.assertNotEqual(self.pixel(left + 300, top + 221), WHITE, "and at 221")

    def test_hover_pressed_and_dragging(self):
        self.fault_server({})
        left, top, right, bottom = self.start_installer()
        b = self.rect(1001)
        x, y = b[0] + 20, (b[1] + b[3]) // 2
        normal = self.pixel(x, y)
        self.wine.xdotool("mousemove", x, y)
        self.assertTrue(self.wait_for(lambda: self.pixel(x, y) != normal, 10), "hover look on mouse-over")
        self.shot("look-hover")
        # The look must come back within about a tenth of a second of leaving: timed inside one
        # program, since starting one under Wine takes longer than that.
        # The hover look's own delay is the reference for how busy the machine is; a busy moment can still
        # delay one leave, so up to three are timed: a slow leave poll fails every one of them.
        for attempt in range(3):
            rc, text = self.wine.driver("hover-leave", x, y, left + 20, bottom - 20)
            self.assertEqual(rc, 0, text)
            enter_ms, leave_ms = [int(v) for v in text.split()[1:3]]
            print("hover look after %d ms, normal look %d ms after leaving" % (enter_ms, leave_ms))
            if leave_ms < 150 + 2 * enter_ms:
                break
        self.assertLess(leave_ms, 150 + 2 * enter_ms, "normal look once the cursor left")
        self.assertEqual(self.pixel(x, y), normal)

        self.wine.xdotool("mousemove", x, y)
        time.sleep(0.4)
        self.wine.xdotool("mousedown", 1)
        time.sleep(0.6)
        pressed = self.pixel(x, y)
        self.assertNotIn(pressed, (normal,), "pressed look while held")
        self.shot("look-pressed")
        # Dragging from a button does not move the window; releasing outside does not click.
        self.wine.xdotool("mousemove", x + 60, y + 150)
        time.sleep(0.4)
        self.wine.xdotool("mouseup", 1)
        time.sleep(0.6)
        self.assertEqual(self.rect(0), [left, top, right, bottom])
        self.assertTrue(self.visible(1001), "no install started")

        self.wine.xdotool("mousemove", left + 40, bottom - 40)
        self.wine.xdotool("mousedown", 1)
        time.sleep(0.3)
        self.wine.xdotool("mousemove", left + 10, bottom - 90)
        time.sleep(0.3)
        self.wine.xdotool("mousemove", left - 20, bottom - 140)
        time.sleep(0.3)
        self.wine.xdotool("mouseup", 1)
        offset = lambda: tuple(a - b for a, b in zip(self.rect(0)[:2], (left, top)))
        self.wait_for(lambda: offset() == (-60, -100), 10)
        self.assertEqual(offset(), (-60, -100), "the body drags the window")

    def test_focus_rectangle_shows_after_a_key_never_after_a_click(self):
        self.fault_server({})
        window = self.start_installer()
        path_art = Image.open(os.path.join(BITMAPS, "path_normal.png")).convert("RGB")
        minimize_art = Image.open(os.path.join(BITMAPS, "minimize_normal.png")).convert("RGB")

        def look(name, expected_focus):
            self.assertEqual(self.wait_focus(expected_focus), expected_focus)
            self.wine.xdotool("mousemove", 2, 2)
            # The look settles once the hover of the button under the cursor has ended.
            deadline = time.time() + 15
            while True:
                img = Image.open(self.wine.gdi_screenshot("%s-%s" % (name, self.module), window)).convert("RGB")
                settled = differing(region(img, MINIMIZE_ART), minimize_art) + differing(region(img, PATH_ART), path_art)
                if time.time() > deadline or (settled == 0) == expected_focus.endswith(" 0"):
                    return img

        # Two mouse clicks on the custom-install button open and close the panel and leave it the focus.
        self.real_click(1020)
        self.real_click(1020)
        mouse = look("focus-after-click", "main 1020 0")
        self.assertEqual(differing(region(mouse, PATH_ART), path_art), 0, "a click draws no focus rectangle")

        self.key("Tab")
        keyed = look("focus-after-tab", "main 1018 1")
        self.assertGreater(differing(region(keyed, MINIMIZE_ART), minimize_art), 15, "the focus shows")
        self.assertEqual(differing(region(keyed, PATH_ART), path_art), 0, "and has left the button before")

        self.key("shift+Tab")
        back = look("focus-after-shift-tab", "main 1020 1")
        self.assertGreater(differing(region(back, PATH_ART), path_art), 100)
        self.assertEqual(differing(region(back, MINIMIZE_ART), minimize_art), 0)

    def test_geometry_of_the_three_windows_is_the_arts(self):
        self.fault_server({"list.txt": {"body": b"one.dll\r\n"},
                           "one.dll": harness.trickle(b"1" * 100000)})
        window = self.start_installer()
        main = self.layout("main")
        self.assertEqual((window[2] - window[0], window[3] - window[1]), (585, 297))
        self.assertEqual(main["client"], (585, 297))
        self.assertEqual(main[1001], (249, 183, 218, 44))
        self.assertEqual(main[1003], (249, 200, 218, 44))
        self.assertEqual(main[1020], (413, 272, 107, 24))
        self.assertEqual(main[1018], (531, 3, 21, 17))
        self.assertEqual(main[1019], (554, 3, 21, 17))
        self.shot("geometry-idle-" + self.module)

        self.wine.driver("click", 1020)
        time.sleep(0.8)
        chooser = self.layout("chooser")
        self.assertEqual(chooser["client"], (585, 50), "the panel is 50 pixels high, as wide as the window")
        self.assertEqual(chooser[1021], (83, 19, 410, 19))
        self.assertEqual(chooser[1001], (500, 19, 24, 19))
        self.shot("geometry-chooser-" + self.module)
        self.wine.driver("click", 1020)
        time.sleep(0.5)

        self.wine.driver("click", 1001)
        time.sleep(1.0)
        self.wine.driver("click", 1019)
        self.assertEqual(self.wine.driver("wait-dialog", 10000)[0], 0)
        notice = self.layout("dialog")
        self.assertEqual(notice["client"], (302, 187))
        self.assertEqual(notice[1001], (69, 118, 75, 19))
        self.assertEqual(notice[1019], (158, 118, 75, 19))
        self.wine.driver("dialog-click", 1019)
        self.assertTrue(self.wait_exit(10))

    def end_look(self, name):
        """Runs an install to its end; the window as Windows sees it, with the cursor away from it."""
        window = self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003), "the finish button comes")
        self.wine.xdotool("mousemove", 2, 2)
        time.sleep(1.2)
        path = self.wine.gdi_screenshot("%s-%s" % (name, self.module), window)
        return Image.open(path).convert("RGB")

    def test_failed_ends_look_failed_and_say_why(self):
        self.fault_server({"list.txt": {"body": b"a.dll\r\n"}, "a.dll": {"body": b"A"}})
        success = self.end_look("end-complete")
        self.tearDown()
        finish_art = Image.open(os.path.join(BITMAPS, "finish_normal.png")).convert("RGB")
        exit_art = Image.open(os.path.join(BITMAPS, "exit_normal.png")).convert("RGB")
        self.assertEqual(differing(region(success, BUTTON_ART), finish_art), 0, "the successful end is unchanged")
        self.assertEqual(status_pixels(success), [])

        looks = {}
        self.servers = []
        for name, routes in (("end-server-lost", None), ("end-manifest-refused", {}),
                             ("end-files-failed", {"list.txt": {"body": b"ok.dll\r\nbroken.dll\r\n"},
                                                   "ok.dll": {"body": b"OK"}, "broken.dll": {"status": 500}})):
            if routes is not None:
                self.fault_server(routes)
            img = self.end_look(name)
            self.tearDown()
            self.servers = []
            looks[name] = img
            self.assertEqual(differing(region(img, BUTTON_ART), exit_art), 0, name + ": the exit button's art")
            self.assertGreater(differing(region(img, BUTTON_ART), region(success, BUTTON_ART)), 2000, name)
            self.assertIn(img.getpixel((230, 215)), [(255, 255, 255), (189, 0, 0)], name + ": the bar stays")
            text = status_pixels(img)
            self.assertGreater(len(text), 40, name + ": a status line under the button")
            xs = [p[0] for p in text]
            ys = [p[1] for p in text]
            # Whole and readable: below the button, inside the window, not touching its edges.
            self.assertGreaterEqual(min(ys), 247, name)
            self.assertLessEqual(max(ys), 290, name)
            self.assertGreaterEqual(min(xs), 160, name)
            self.assertLessEqual(max(xs), 560, name)
            self.assertGreater(max(ys) - min(ys), 8, name + ": a full line of characters, not a clipped strip")
        bands = {name: region(img, STATUS_BAND) for name, img in looks.items()}
        self.assertGreater(differing(bands["end-server-lost"], bands["end-manifest-refused"]), 50)
        self.assertGreater(differing(bands["end-manifest-refused"], bands["end-files-failed"]), 50)


class LookWithoutSongFace(Look):
    """The same look in a prefix where Wine finds no 宋体 and takes a taller face for the dialogs."""
    module = "look-plain"
    song_face = False


if __name__ == "__main__":
    unittest.main(verbosity=2)
