"""Both programs' windows carry the application icon (_NET_WM_ICON), pixel
for pixel as tools/make_icon.py draws it."""

import os
import re
import sys

import harness

sys.path.insert(0, os.path.join(harness.SOURCE, "tools"))
import make_icon  # noqa: E402


def window_icons(x, wid):
    """The window's icons as {size: [ARGB, ...]}."""
    out = x.run("xprop", "-notype", "-len", "100000000", "-f", "_NET_WM_ICON", "32c", "-id", wid, "_NET_WM_ICON")
    values = [int(v) for v in re.findall(r"\d+", out.partition("=")[2])]
    icons = {}
    while len(values) >= 2:
        w, h = values[0], values[1]
        icons[w] = values[2:2 + w * h]
        if len(icons[w]) != w * h:
            raise AssertionError("the %d x %d icon is cut short" % (w, h))
        values = values[2 + w * h:]
    return icons


def argb(rows):
    return [a << 24 | r << 16 | g << 8 | b for row in rows for (r, g, b, a) in row]


class WindowIconTest(harness.GuiTest):

    def test_both_programs_show_the_icon(self):
        for binary in (harness.VEXELOR, harness.VEXELOR_JPEG):
            with self.subTest(program=os.path.basename(binary)):
                app = self.start(binary=binary)
                icons = window_icons(self.x, app.wid)
                self.assertEqual(sorted(icons), list(make_icon.WINDOW_SIZES))
                for size in (16, 48):
                    self.assertEqual(icons[size], argb(make_icon.draw(size)), size)
                app.request_close()
                self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    harness.main()
