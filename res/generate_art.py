#!/usr/bin/env python3
"""Draws the installer's skin bitmaps and icon into res/bitmaps and res/qelmora.ico.

Run it again after changing the art; the build uses the committed output and needs no generator.
Needs python3-pil and the fonts-wqy-zenhei CJK font (both from Debian).
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "bitmaps")
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"

FIELD = (252, 226, 138)
FIELD_DARK = (244, 200, 92)
RED = (196, 30, 24)
GOLD = (184, 122, 18)


def font(size):
    return ImageFont.truetype(CJK_FONT, size)


def field(size):
    w, h = size
    img = Image.new("RGB", size, FIELD)
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(int(FIELD[i] * (1 - t) + FIELD_DARK[i] * t) for i in range(3))
        d.line([(0, y), (w, y)], fill=c)
    return img


def emblem(d, cx, cy, r):
    d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=RED, outline=(150, 20, 16), width=3)
    d.ellipse([cx - r // 2, cy - r // 2, cx + r // 2, cy + r // 2], outline=(255, 214, 120), width=4)
    d.text((cx, cy), "Q", font=font(int(r * 1.1)), fill=(255, 236, 170), anchor="mm")


def save(img, name):
    img.save(os.path.join(OUT, name), format="BMP")


def backgrounds():
    idle = field((593, 298))
    d = ImageDraw.Draw(idle)
    emblem(d, 110, 110, 62)
    d.text((350, 90), "Qelmora", font=font(56), fill=GOLD, anchor="mm")
    d.rounded_rectangle([470, 24, 580, 52], radius=8, fill=(240, 120, 30))
    d.text((525, 38), "永久免费", font=font(16), fill="white", anchor="mm")
    d.line([(10, 286), (583, 286)], fill=(230, 180, 90), width=4)
    save(idle, "bg_idle.bmp")

    installing = field((593, 298))
    d = ImageDraw.Draw(installing)
    emblem(d, 210, 90, 48)
    d.text((360, 90), "Qelmora", font=font(44), fill=GOLD, anchor="mm")
    save(installing, "bg_installing.bmp")

    finished = field((593, 298))
    d = ImageDraw.Draw(finished)
    emblem(d, 110, 110, 62)
    d.text((370, 110), "恭喜您，安装成功！", font=font(28), fill=RED, anchor="mm")
    save(finished, "bg_finished.bmp")


def icon():
    img = Image.new("RGBA", (48, 48), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse([2, 2, 45, 45], fill=RED, outline=(150, 20, 16), width=2)
    d.text((24, 25), "Q", font=font(30), fill=(255, 236, 170), anchor="mm")
    img.save(os.path.join(HERE, "qelmora.ico"), sizes=[(16, 16), (32, 32), (48, 48)])


def main():
    os.makedirs(OUT, exist_ok=True)
    backgrounds()
    icon()
    return 0


if __name__ == "__main__":
    sys.exit(main())
