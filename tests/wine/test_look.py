"""The main window's look read back as pixels: progress track and fill, button looks, dragging, and the
windows' geometry, in a prefix with a stand-in for 宋体 and in one without."""
import time
import unittest

from installer_case import InstallerCase

WHITE = "FFFFFF"
FILL = "0000BD"   # COLORREF 0x000000BD as GetPixel prints it: red 189


class Look(InstallerCase):
    module = "look"

    def pixel(self, x, y):
        rc, text = self.wine.driver("pixel", x, y)
        self.assertEqual(rc, 0)
        return text.split()[1][-6:]

    def test_progress_track_and_fill_at_one_line_of_three(self):
        self.fault_server({"list.txt": {"body": b"one.dll\r\ntwo.dll\r\nthree.dll\r\n"}, "one.dll": {"body": b"1"},
                           "two.dll": {"body": b"2" * 100000, "mode": "stall", "seconds": 25},
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
        time.sleep(0.6)
        hover = self.pixel(x, y)
        self.assertNotEqual(hover, normal, "hover look on mouse-over")
        self.shot("look-hover")
        self.wine.xdotool("mousemove", left + 20, bottom - 20)
        time.sleep(0.6)
        self.assertEqual(self.pixel(x, y), normal, "normal look once the cursor left")

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
        time.sleep(0.6)
        moved = self.rect(0)
        self.assertEqual((moved[0] - left, moved[1] - top), (-60, -100), "the body drags the window")

    def test_geometry_of_the_three_windows_is_the_arts(self):
        self.fault_server({"list.txt": {"body": b"one.dll\r\n"},
                           "one.dll": {"body": b"1" * 100000, "mode": "stall", "seconds": 20}})
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


class LookWithoutSongFace(Look):
    """The same look in a prefix where Wine finds no 宋体 and takes a taller face for the dialogs."""
    module = "look-plain"
    song_face = False


if __name__ == "__main__":
    unittest.main(verbosity=2)
