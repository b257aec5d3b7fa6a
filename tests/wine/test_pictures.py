"""The skin pictures as the exe carries them (PNG, no bitmaps left) and what the window does when one of
them, or the whole imaging component, is not there: only that art is missing, the window still works."""
import os
import re
import shutil
import time
import unittest
import zlib

from PIL import Image

import harness
from installer_case import InstallerCase

RES = os.path.join(harness.ROOT, "res")
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
RT_BITMAP = 2

IDB_CLOSE_NORMAL = 165
IDB_INSTALL_NORMAL = 168
IDB_PATH_NORMAL = 171
IDB_NOTICE = 183
IDB_BG_IDLE = 190


def shipped_pictures():
    """{resource id: picture file} as the resource script names them."""
    with open(os.path.join(RES, "resource.h")) as f:
        ids = dict(re.findall(r"#define\s+(IDB_\w+)\s+(\d+)", f.read()))
    with open(os.path.join(RES, "qelmora.rc"), encoding="utf-8") as f:
        named = re.findall(r"^(IDB_\w+)\s+PNG\s+\"([^\"]+)\"", f.read(), re.M)
    return {int(ids[name]): os.path.join(RES, path) for name, path in named}


def region(img, box):
    x, y, w, h = box
    return img.crop((x, y, x + w, y + h)).convert("RGB")


def colours(img, box):
    return {c for _, c in region(img, box).getcolors(1 << 16)}


class Damage:
    """A copy of the installer with some of its pictures spoilt in place, the rest of its bytes unchanged."""

    def __init__(self, exe, copy):
        shutil.copy(exe, copy)
        self.path = copy
        self.resources = harness.pe_resources(copy)

    def _picture(self, picture_id):
        at, size, _ = self.resources[("PNG", picture_id)]
        return at, size

    def _write(self, at, data):
        with open(self.path, "r+b") as f:
            f.seek(at)
            f.write(data)

    def not_a_png(self, picture_id):
        at, _ = self._picture(picture_id)
        self._write(at, b"GIF89a\0\0")

    def spoilt_pixels(self, picture_id):
        """Image data that fails its checks, after a header that reads well."""
        at, size = self._picture(picture_id)
        with open(self.path, "rb") as f:
            f.seek(at)
            png = f.read(size)
        idat = png.index(b"IDAT") + 4
        self._write(at + idat + 20, bytes(b ^ 0x5A for b in png[idat + 20:idat + 60]))

    def huge(self, picture_id):
        """A valid header that claims 100,000 x 100,000 pixels."""
        at, _ = self._picture(picture_id)
        with open(self.path, "rb") as f:
            f.seek(at + 12)
            ihdr = bytearray(f.read(17))
        ihdr[4:12] = (100_000).to_bytes(4, "big") * 2
        self._write(at + 12, bytes(ihdr) + zlib.crc32(bytes(ihdr)).to_bytes(4, "big"))

    def truncated(self, picture_id, keep=60):
        _, _, size_field = self.resources[("PNG", picture_id)]
        self._write(size_field, keep.to_bytes(4, "little"))


class ShippedPictures(unittest.TestCase):
    def test_every_picture_is_the_png_of_the_art_and_no_bitmap_is_left(self):
        expected = shipped_pictures()
        self.assertEqual(len(expected), 34)
        builds = [harness.EXE]
        product = os.path.join(harness.ROOT, "build", "windows", "QelmoraSetup.exe")
        if os.path.exists(product):
            builds.append(product)
        for exe in builds:
            resources = harness.pe_resources(exe)
            self.assertEqual([key for key in resources if key[0] == RT_BITMAP], [], exe)
            pngs = {key[1]: value for key, value in resources.items() if key[0] == "PNG"}
            self.assertEqual(sorted(pngs), sorted(expected), exe)
            with open(exe, "rb") as f:
                for picture_id, (at, size, _) in pngs.items():
                    f.seek(at)
                    data = f.read(size)
                    self.assertTrue(data.startswith(PNG_SIGNATURE), picture_id)
                    with open(expected[picture_id], "rb") as art:
                        self.assertEqual(data, art.read(), "%s: %d" % (exe, picture_id))


class DamagedPictures(InstallerCase):
    module = "pictures"

    def capture(self, name, window):
        return Image.open(self.wine.gdi_screenshot("%s-%s" % (name, self.module), window)).convert("RGB")

    def test_a_picture_that_does_not_decode_leaves_only_its_own_art_blank(self):
        damaged = Damage(harness.EXE, os.path.join(self.wine.base, "damaged.exe"))
        self.addCleanup(os.remove, damaged.path)   # after tearDown has ended the program
        damaged.not_a_png(IDB_BG_IDLE)
        damaged.spoilt_pixels(IDB_INSTALL_NORMAL)
        damaged.truncated(IDB_PATH_NORMAL)
        damaged.huge(IDB_NOTICE)
        self.exe = damaged.path
        self.fault_server({"list.txt": {"body": b"slow.dll\r\n"},
                           "slow.dll": harness.trickle(b"1" * 100000)})

        window = self.start_installer()
        self.wine.xdotool("mousemove", 2, 2)
        time.sleep(1.0)
        img = self.capture("damaged-idle", window)
        main = self.layout("main")
        plain = colours(img, (20, 60, 200, 120))
        self.assertEqual(len(plain), 1, "the idle background is plain where the emblem was")
        self.assertNotEqual(plain, {(0, 0, 0)})
        self.assertEqual(colours(img, main[1001]), plain, "the install button's normal look is blank")
        self.assertEqual(colours(img, main[1020]), plain, "and so is the custom-install button's")
        close_x, close_y = main[1019][:2]
        with Image.open(os.path.join(RES, "bitmaps", "close_normal.png")) as art:
            self.assertEqual(region(img, (close_x, close_y, 13, 13)).tobytes(), art.convert("RGB").tobytes(),
                             "the close button's art is whole")

        # The install button's other looks are there: the hover look shows over the blank.
        x, y, w, h = main[1001]
        self.wine.xdotool("mousemove", window[0] + x + w // 2, window[1] + y + h // 2)
        hovered = lambda: len(colours(self.capture("damaged-hover", window), main[1001])) > 20
        self.assertTrue(self.wait_for(hovered, 10, step=0.3), "the hover look")
        self.wine.xdotool("mousemove", 2, 2)

        # The window still installs, and asks before quitting in a notice that keeps its buttons.
        self.wine.driver("click", 1001)
        self.wait_for(lambda: not self.visible(1001), 10)
        self.assertFalse(self.visible(1001))
        self.wine.driver("click", 1019)
        self.assertEqual(self.wine.driver("wait-dialog", 10000)[0], 0, "the notice comes")
        notice = self.layout("dialog")
        cw, ch = notice["client"]
        self.assertGreater(cw * ch, 0)
        for button in (1001, 1019):
            bx, by, bw, bh = notice[button]
            self.assertTrue(bw > 0 and bh > 0 and bx + bw <= cw and by + bh <= ch, "%d lies inside" % button)
        self.wine.driver("dialog-click", 1019)
        self.assertTrue(self.wait_exit(15), "the quit goes through")

    def test_without_the_imaging_component_the_window_still_works(self):
        kept = self.wine.env["WINEDLLOVERRIDES"]
        self.wine.env["WINEDLLOVERRIDES"] = kept + ";windowscodecs=d"
        try:
            window = self.start_installer()
        finally:
            self.wine.env["WINEDLLOVERRIDES"] = kept
        self.wine.xdotool("mousemove", 2, 2)
        time.sleep(1.0)
        img = self.capture("no-imaging", window)
        self.assertEqual(len(colours(img, (0, 0, window[2] - window[0], window[3] - window[1]))), 1,
                         "every picture blank, nothing else drawn")
        self.assertTrue(self.visible(1001))
        self.wine.driver("click", 1019)
        self.assertTrue(self.wait_exit(15), "the close button still closes")


if __name__ == "__main__":
    unittest.main()
