"""The main window's look read back as pixels: progress track and fill, button looks, dragging."""
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
        # The look must come back within about a tenth of a second of leaving: timed inside one
        # program, since starting one under Wine takes longer than that.
        rc, text = self.wine.driver("hover-leave", x, y, left + 20, bottom - 20)
        self.assertEqual(rc, 0, text)
        enter_ms, leave_ms = [int(v) for v in text.split()[1:3]]
        print("hover look after %d ms, normal look %d ms after leaving" % (enter_ms, leave_ms))
        self.assertLess(leave_ms, 150, "normal look once the cursor left")
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
        time.sleep(0.6)
        moved = self.rect(0)
        self.assertEqual((moved[0] - left, moved[1] - top), (-60, -100), "the body drags the window")


if __name__ == "__main__":
    unittest.main(verbosity=2)
