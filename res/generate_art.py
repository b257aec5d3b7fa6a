#!/usr/bin/env python3
"""Draws the installer's skin pictures and icon into res/bitmaps (as PNG) and res/qelmora.ico.

Run it again after changing the art; the build uses the committed output and needs no generator.
Needs python3-pil and the fonts-wqy-zenhei CJK font (both from Debian).
"""
import io
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
    """Lossless and small: a picture of at most 256 colours as a palette PNG when that is smaller,
    any other as 24-bit true colour. The installer decodes either kind."""
    path = os.path.join(OUT, name)
    img.save(path, format="PNG", optimize=True)
    colours = img.getcolors(256)
    if colours:
        palette = [c for _, c in colours]
        index = {c: i for i, c in enumerate(palette)}
        indexed = Image.new("P", img.size)
        indexed.putpalette([v for c in palette for v in c])
        indexed.putdata([index[c] for c in img.getdata()])
        data = io.BytesIO()
        indexed.save(data, format="PNG", optimize=True)
        if len(data.getvalue()) < os.path.getsize(path):
            with open(path, "wb") as f:
                f.write(data.getvalue())


def backgrounds():
    idle = field((593, 298))
    d = ImageDraw.Draw(idle)
    emblem(d, 110, 110, 62)
    d.text((350, 90), "Qelmora", font=font(56), fill=GOLD, anchor="mm")
    d.rounded_rectangle([470, 24, 580, 52], radius=8, fill=(240, 120, 30))
    d.text((525, 38), "永久免费", font=font(16), fill="white", anchor="mm")
    d.line([(10, 286), (583, 286)], fill=(230, 180, 90), width=4)
    save(idle, "bg_idle.png")

    installing = field((593, 298))
    d = ImageDraw.Draw(installing)
    emblem(d, 210, 90, 48)
    d.text((360, 90), "Qelmora", font=font(44), fill=GOLD, anchor="mm")
    save(installing, "bg_installing.png")

    finished = field((593, 298))
    d = ImageDraw.Draw(finished)
    emblem(d, 110, 110, 62)
    d.text((370, 110), "恭喜您，安装成功！", font=font(28), fill=RED, anchor="mm")
    save(finished, "bg_finished.png")


def shade(colour, amount):
    return tuple(max(0, min(255, int(c + amount))) for c in colour)


def bar_button(size, label, base, text, arrow=True):
    """Rounded bar in three shades: normal, hover (lighter), pressed (darker, text shifted)."""
    w, h = size
    looks = []
    for look, amount in (("normal", 0), ("hover", 22), ("pressed", -28)):
        img = field(size)
        d = ImageDraw.Draw(img)
        top, bottom = shade(base, amount + 18), shade(base, amount - 18)
        for y in range(2, h - 2):
            t = (y - 2) / max(1, h - 5)
            c = tuple(int(top[i] * (1 - t) + bottom[i] * t) for i in range(3))
            d.line([(3, y), (w - 4, y)], fill=c)
        d.rounded_rectangle([1, 1, w - 2, h - 2], radius=h // 2 - 1, outline=shade(base, -60), width=2)
        dx = 1 if look == "pressed" else 0
        cx = w // 2 - (12 if arrow else 0)
        d.text((cx + dx, h // 2 + dx), label, font=font(max(10, h // 2)), fill=text, anchor="mm")
        if arrow:
            r = h // 3
            ax, ay = w - r - 12 + dx, h // 2 + dx
            d.ellipse([ax - r, ay - r, ax + r, ay + r], fill=(236, 110, 20))
            d.polygon([(ax - r // 2, ay - r // 2), (ax + r // 2 + 1, ay), (ax - r // 2, ay + r // 2)],
                      fill="white")
        looks.append(img)
    return looks


def small_icon(kind, look):
    img = Image.new("RGB", (13, 13), FIELD)
    d = ImageDraw.Draw(img)
    colour = {"normal": (232, 120, 24), "hover": (248, 150, 40), "pressed": (190, 80, 10)}[look]
    if kind == "minimize":
        d.rectangle([2, 8, 10, 10], fill=colour)
    else:
        d.line([(2, 2), (10, 10)], fill=colour, width=2)
        d.line([(10, 2), (2, 10)], fill=colour, width=2)
    return img


def buttons():
    for ids, label in ((("install_normal", "install_hover", "install_pressed"), "快速安装"),
                       (("finish_normal", "finish_hover", "finish_pressed"), "立即体验")):
        for name, img in zip(ids, bar_button((215, 40), label, (255, 204, 64), (120, 50, 0))):
            save(img, name + ".png")
    # After an install that did not succeed: a quiet bar without the arrow that invites a start.
    for name, img in zip(("exit_normal", "exit_hover", "exit_pressed"),
                         bar_button((215, 40), "退出安装", (236, 220, 184), (96, 64, 32), arrow=False)):
        save(img, name + ".png")

    for look, text in (("normal", (90, 60, 20)), ("hover", (150, 40, 20)), ("pressed", (200, 20, 20))):
        img = field((107, 24))
        d = ImageDraw.Draw(img)
        d.rounded_rectangle([1, 0, 105, 30], radius=7, fill=shade(FIELD, -10 if look != "hover" else 6),
                            outline=(214, 160, 70))
        d.text((44, 12), "自定义安装", font=font(12), fill=text, anchor="mm")
        d.polygon([(88, 9), (98, 9), (93, 15)], fill=text)
        save(img, "path_%s.png" % look)

    for look, text, back in (("normal", (110, 110, 110), FIELD), ("hover", (200, 20, 20), FIELD),
                             ("pressed", (255, 255, 255), (196, 30, 24))):
        img = Image.new("RGB", (78, 15), back)
        d = ImageDraw.Draw(img)
        d.text((39, 7), "用户许可协议", font=font(11), fill=text, anchor="mm")
        d.line([(4, 13), (73, 13)], fill=text)
        save(img, "agreement_%s.png" % look)

    for look in ("normal", "hover", "pressed"):
        save(small_icon("minimize", look), "minimize_%s.png" % look)
        save(small_icon("close", look), "close_%s.png" % look)
        img = Image.new("RGB", (22, 24), (255, 255, 255) if look != "pressed" else (222, 222, 222))
        d = ImageDraw.Draw(img)
        d.rectangle([0, 0, 21, 23], outline=(170, 170, 170))
        grey = (120, 120, 120) if look != "hover" else (80, 80, 80)
        d.line([(9, 7), (13, 12), (9, 17)], fill=grey, width=2)
        save(img, "browse_%s.png" % look)

    for name, label, base, text in (("continue", "继续安装", (246, 150, 40), (255, 255, 255)),
                                    ("quit", "取消安装", (252, 236, 170), (120, 60, 10))):
        for look, img in zip(("normal", "hover", "pressed"),
                             bar_button((73, 24), label, base, text, arrow=False)):
            save(img, "%s_%s.png" % (name, look))


def notice():
    img = Image.new("RGB", (302, 187), (255, 248, 214))
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, 301, 186], outline=(176, 104, 40), width=3)
    d.rectangle([3, 3, 298, 30], fill=(252, 232, 168))
    d.text((151, 17), "系统提示", font=font(15), fill=(170, 20, 16), anchor="mm")
    d.text((151, 66), "系统正在安装中，", font=font(14), fill="black", anchor="mm")
    d.text((151, 90), "您确定要退出安装吗？", font=font(14), fill="black", anchor="mm")
    save(img, "notice.png")


def icon():
    img = Image.new("RGBA", (48, 48), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse([2, 2, 45, 45], fill=RED, outline=(150, 20, 16), width=2)
    d.text((24, 25), "Q", font=font(30), fill=(255, 236, 170), anchor="mm")
    img.save(os.path.join(HERE, "qelmora.ico"), sizes=[(16, 16), (32, 32), (48, 48)])


def main():
    os.makedirs(OUT, exist_ok=True)
    backgrounds()
    buttons()
    notice()
    icon()
    return 0


if __name__ == "__main__":
    sys.exit(main())
