#!/usr/bin/env python3
"""Writes the manager style's images (light theme; the dark ones are derived at load time)
into manager/resources/ifc_elements/. Plain shapes: white fills, grey borders, blue accents.
Run again after changing a shape; the PNGs are checked in. Standard library only."""
import math
import os
import struct
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "manager", "resources", "ifc_elements")

WHITE = (255, 255, 255)
BORDER = (160, 160, 160)
BORDER_DARK = (110, 110, 110)
DISABLED_FILL = (240, 240, 240)
DISABLED_BORDER = (205, 205, 205)
BLUE = (0, 150, 193)
HOVER_FILL = (229, 243, 251)
PRESSED_FILL = (204, 228, 247)
GREY_MARK = (150, 150, 150)
MARK = (40, 40, 40)


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[list(fill) for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, rgb, a=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or a <= 0:
            return
        a = min(a, 1.0)
        dst = self.px[y][x]
        da = dst[3] / 255.0
        oa = a + da * (1 - a)
        for i in range(3):
            dst[i] = int(round((rgb[i] * a + dst[i] * da * (1 - a)) / oa)) if oa > 0 else 0
        dst[3] = int(round(oa * 255))

    def rect(self, x0, y0, x1, y1, rgb):  # inclusive corners
        for y in range(max(0, y0), min(self.h, y1 + 1)):
            for x in range(max(0, x0), min(self.w, x1 + 1)):
                self.blend(x, y, rgb)

    def vgradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            c = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
            self.rect(0, y, self.w - 1, y, c)

    def rounded_box(self, fill, border, radius=2.0, x0=0, y0=0, x1=None, y1=None, open_bottom=False):
        x1 = self.w - 1 if x1 is None else x1
        y1 = self.h - 1 if y1 is None else y1
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                # distance outside the rounded rectangle's inner core
                cx = min(max(x + 0.5, x0 + radius), x1 + 1 - radius)
                cy = min(max(y + 0.5, y0 + radius), (y1 + 1 + radius * 3) if open_bottom else y1 + 1 - radius)
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) - radius
                inside = max(0.0, min(1.0, 0.5 - d))
                if inside <= 0:
                    continue
                edge = max(0.0, min(1.0, d + 1.5))
                if open_bottom and y == y1:
                    edge = 0.0 if x0 < x < x1 else edge
                c = tuple(int(fill[i] * (1 - edge) + border[i] * edge) for i in range(3))
                self.blend(x, y, c, inside)

    def disc(self, cx, cy, r, rgb):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                self.blend(x, y, rgb, max(0.0, min(1.0, r - d + 0.5)))

    def ring(self, cx, cy, r, width, rgb):
        for y in range(self.h):
            for x in range(self.w):
                d = abs(math.hypot(x + 0.5 - cx, y + 0.5 - cy) - (r - width / 2))
                self.blend(x, y, rgb, max(0.0, min(1.0, width / 2 - d + 0.5)))

    def line(self, x0, y0, x1, y1, width, rgb):
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                dx, dy = x1 - x0, y1 - y0
                t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
                d = math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))
                self.blend(x, y, rgb, max(0.0, min(1.0, width / 2 - d + 0.5)))

    def triangle(self, pts, rgb):
        (ax, ay), (bx, by), (cx, cy) = pts
        for y in range(self.h):
            for x in range(self.w):
                cover = 0
                for sx in (0.25, 0.75):
                    for sy in (0.25, 0.75):
                        px, py = x + sx, y + sy
                        d1 = (px - bx) * (ay - by) - (ax - bx) * (py - by)
                        d2 = (px - cx) * (by - cy) - (bx - cx) * (py - cy)
                        d3 = (px - ax) * (cy - ay) - (cx - ax) * (py - ay)
                        neg = d1 < 0 or d2 < 0 or d3 < 0
                        pos = d1 > 0 or d2 > 0 or d3 > 0
                        cover += 0 if (neg and pos) else 1
                self.blend(x, y, rgb, cover / 4)

    def save(self, name):
        raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in self.px)

        def chunk(tag, data):
            return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

        png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(png)


def check_mark(c, rgb, scale=1.0, ox=0.0, oy=0.0):
    s = scale
    c.line(ox + 3 * s, oy + 6.5 * s, ox + 5.5 * s, oy + 9 * s, 1.8 * s, rgb)
    c.line(ox + 5.5 * s, oy + 9 * s, ox + 10 * s, oy + 3.5 * s, 1.8 * s, rgb)


STATES = {  # name suffix -> (fill, border, mark)
    "": (WHITE, BORDER, BLUE),
    "_focused": (WHITE, BLUE, BLUE),
    "_disabled": (DISABLED_FILL, DISABLED_BORDER, GREY_MARK),
    "_hover": (HOVER_FILL, BORDER_DARK, BLUE),
    "_hover_focused": (HOVER_FILL, BLUE, BLUE),
}


def indicators():
    for size, prefix in ((13, "checkbox"), (18, "checkbox18")):
        for on in (False, True):
            for suffix, (fill, border, mark) in STATES.items():
                if size == 18 and "focused" in suffix:
                    continue  # the 18-pixel box shares the small one's focus images
                c = Canvas(size, size)
                c.rounded_box(fill, border, radius=2.0)
                if on:
                    check_mark(c, mark, scale=size / 13.0)
                c.save("%s_%s%s.png" % (prefix, "on" if on else "off", suffix))
    for on in (False, True):
        for suffix, (fill, border, mark) in STATES.items():
            if on and suffix.startswith("_hover"):
                continue  # a checked radio button keeps its look under the mouse
            c = Canvas(13, 13)
            c.disc(6.5, 6.5, 6.0, border)
            c.disc(6.5, 6.5, 5.0, fill)
            if on:
                c.disc(6.5, 6.5, 2.6, mark)
            c.save("radio_%s%s.png" % ("on" if on else "off", suffix))
    c = Canvas(4, 20)
    c.rect(0, 0, 3, 19, (217, 238, 247))
    c.save("radio_on_bgr_center.png")
    c = Canvas(4, 20)
    c.rounded_box((217, 238, 247), (217, 238, 247), radius=3.0, x0=-4)
    c.save("radio_on_bgr_right.png")


def three(prefix, suffixes, height, left_w, right_w, fill, border, open_bottom=False, radius=2.0):
    """left / center / right pieces of a box of the given height."""
    whole = Canvas(left_w + 1 + right_w, height)
    whole.rounded_box(fill, border, radius=radius, open_bottom=open_bottom)
    names = [prefix % s for s in suffixes]
    for name, (x0, w) in zip(names, ((0, left_w), (left_w, 1), (left_w + 1, right_w))):
        piece = Canvas(w, height)
        for y in range(height):
            for x in range(w):
                piece.px[y][x] = list(whole.px[y][x0 + x])
        piece.save(name)


def bars():
    # top menu buttons: the same in both themes
    three("button34_%s.png", ("left", "center", "right"), 34, 4, 4, (0, 128, 170), (0, 110, 150), radius=3.0)
    three("button34_%s.png", ("left", "center_hover", "right"), 34, 4, 4, (0, 150, 193), (0, 110, 150), radius=3.0)
    for suffix, fill, border in (("", WHITE, BORDER), ("_focus", WHITE, BLUE), ("_disabled", DISABLED_FILL, DISABLED_BORDER)):
        three("lineedit_%s" + suffix + ".png", ("left", "center", "right"), 23, 3, 3, fill, border)
        whole = Canvas(7, 4)
        whole.rounded_box(fill, border, radius=2.0, y0=-4)
        for name, (x0, w) in zip(("left", "center", "right"), ((0, 3), (3, 1), (4, 3))):
            piece = Canvas(w, 4)
            for y in range(4):
                for x in range(w):
                    piece.px[y][x] = list(whole.px[y][x0 + x])
            piece.save("textedit_%s%s_bottom.png" % (name, suffix))
    c = Canvas(1, 30)
    c.vgradient((248, 248, 248), (232, 232, 232))
    c.save("top_menu_bgr.png")
    c = Canvas(2, 30)
    c.rect(0, 4, 0, 25, (200, 200, 200))
    c.rect(1, 4, 1, 25, WHITE)
    c.save("top_menu_splitter.png")
    c = Canvas(2, 30)
    c.rect(0, 4, 0, 25, (30, 32, 36))
    c.rect(1, 4, 1, 25, (70, 74, 82))
    c.save("top_menu_splitter_dark.png")
    c = Canvas(1, 30)
    c.rect(0, 0, 0, 28, (246, 246, 246))
    c.rect(0, 29, 0, 29, (200, 200, 200))
    c.save("tab_place_bgr.png")
    three("tab_closed_%s.png", ("left", "center", "right"), 26, 6, 6, (234, 234, 234), (200, 200, 200), open_bottom=True, radius=4.0)
    three("tab_closed_%s_hover.png", ("left", "center", "right"), 26, 6, 6, (244, 248, 250), (190, 190, 190), open_bottom=True, radius=4.0)
    three("tab_open_%s.png", ("left", "center", "right"), 26, 6, 6, WHITE, (200, 200, 200), open_bottom=True, radius=4.0)
    three("accordion_%s.png", ("left", "center", "right"), 24, 4, 24, (238, 243, 246), (207, 216, 220), radius=2.0)
    # the balloon's file names are spelt as the style's table has them
    whole = Canvas(17, 16)
    whole.rounded_box((217, 83, 79), (200, 60, 56), radius=7.5)
    for name, (x0, w) in (("red_baloon_left.png", (0, 8)), ("red_balloon_center.png", (8, 1)), ("red_baloon_right.png", (9, 8))):
        piece = Canvas(w, 16)
        for y in range(16):
            for x in range(w):
                piece.px[y][x] = list(whole.px[y][x0 + x])
        piece.save(name)
    for name, top, bottom in (("right_accordion_bgr.png", (236, 241, 244), (224, 231, 235)),
                              ("right_accordion_bgr_light.png", (248, 250, 251), (238, 242, 244))):
        c = Canvas(1, 24)
        c.vgradient(top, bottom)
        c.save(name)
    c = Canvas(12, 12)
    c.disc(6, 6, 5.6, BLUE)
    c.line(4.3, 4.2, 6.0, 2.9, 1.3, WHITE)
    c.line(6.0, 2.9, 7.7, 4.2, 1.3, WHITE)
    c.line(7.7, 4.2, 6.0, 6.2, 1.3, WHITE)
    c.line(6.0, 6.2, 6.0, 7.3, 1.3, WHITE)
    c.disc(6.0, 9.3, 0.8, WHITE)
    c.save("icon_question.png")
    three("progressbar_base_%s.png", ("left", "center", "right"), 20, 4, 4, (236, 236, 236), (200, 200, 200), radius=3.0)
    c = Canvas(1, 20)
    c.vgradient((70, 190, 100), (40, 160, 70))
    c.save("progressbar_indicator.png")
    for suffix, corner in (("", WHITE), ("_gray", (236, 236, 236))):
        for side in ("left", "right"):
            c = Canvas(4, 20)
            c.rect(0, 0, 3, 19, corner)
            mask = Canvas(8, 20)
            mask.rounded_box((0, 0, 0), (0, 0, 0), radius=3.0)
            for y in range(20):
                for x in range(4):
                    a = mask.px[y][x if side == "left" else x + 4][3]
                    c.px[y][x][3] = 255 - a
            c.save("progressbar_%ssidemask%s.png" % (side, suffix))


def arrows():
    def arrow(name, direction, rgb, size=16):
        c = Canvas(size, size)
        m = size / 2.0
        pts = {"left": ((m - 3, m), (m + 2, m - 4), (m + 2, m + 4)),
               "right": ((m + 3, m), (m - 2, m - 4), (m - 2, m + 4)),
               "up": ((m, m - 3), (m - 4, m + 2), (m + 4, m + 2)),
               "down": ((m, m + 3), (m - 4, m - 2), (m + 4, m - 2))}[direction]
        c.triangle(pts, rgb)
        c.save(name)

    for d in ("left", "right", "up", "down"):
        arrow("scroll_arrow_%s.png" % d, d, (130, 130, 130))
        arrow("scroll_arrow_%s_hover.png" % d, d, BLUE)
    for d in ("left", "right"):
        arrow("arrow_%s.png" % d, d, (80, 80, 80))
        arrow("arrow_%s_disabled.png" % d, d, (190, 190, 190))
    for suffix, fill, border, mark in (("", WHITE, BORDER, (90, 90, 90)), ("_hover", HOVER_FILL, BORDER_DARK, BLUE),
                                       ("_disabled", DISABLED_FILL, DISABLED_BORDER, GREY_MARK)):
        three("combobox_%s" + suffix + ".png", ("left", "center", "skip"), 23, 3, 1, fill, border)
        os.remove(os.path.join(OUT, "combobox_skip%s.png" % suffix))
        c = Canvas(20, 23)
        c.rounded_box(fill, border, radius=2.0, x0=-4)
        c.rect(0, 4, 0, 18, DISABLED_BORDER if suffix == "_disabled" else (215, 215, 215))
        c.triangle(((6, 10), (14, 10), (10, 14.5)), mark)
        c.save("combobox_right%s.png" % suffix)
    c = Canvas(20, 23)
    c.rounded_box(PRESSED_FILL, BLUE, radius=2.0, x0=-4)
    c.triangle(((6, 10), (14, 10), (10, 14.5)), BLUE)
    c.save("combobox_right_pressed.png")
    for suffix, fill, border, mark in (("", WHITE, BORDER, (90, 90, 90)), ("_hover", HOVER_FILL, BORDER_DARK, BLUE),
                                       ("_pressed", PRESSED_FILL, BLUE, BLUE), ("_disabled", DISABLED_FILL, DISABLED_BORDER, GREY_MARK)):
        c = Canvas(16, 12)
        c.rounded_box(fill, border, radius=2.0, y1=13)
        c.triangle(((8, 4), (4.5, 8), (11.5, 8)), mark)
        c.save("spinbox_up%s.png" % suffix)
        c = Canvas(16, 11)
        c.rounded_box(fill, border, radius=2.0, y0=-2)
        c.triangle(((8, 7), (4.5, 3), (11.5, 3)), mark)
        c.save("spinbox_down%s.png" % suffix)
    c = Canvas(16, 16)
    for x in (4, 9):
        c.line(x, 4, x + 3, 8, 1.5, (90, 90, 90))
        c.line(x + 3, 8, x, 12, 1.5, (90, 90, 90))
    c.save("i_toolbar_ext.png")
    c = Canvas(1, 23)
    c.rect(0, 3, 0, 19, (200, 200, 200))
    c.save("start_stop_splitter.png")
    for name, rgb in (("i_check.png", MARK), ("i_check_disabled.png", GREY_MARK)):
        c = Canvas(16, 16)
        check_mark(c, rgb, scale=1.0, ox=1.5, oy=2.0)
        c.save(name)


def main():
    os.makedirs(OUT, exist_ok=True)
    indicators()
    bars()
    arrows()
    print("%d images in %s" % (len([f for f in os.listdir(OUT) if f.endswith(".png")]), os.path.normpath(OUT)))


if __name__ == "__main__":
    sys.exit(main())
