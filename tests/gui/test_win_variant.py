"""vexelor-jpeg.exe under Wine: the smaller window without status bar,
displacement field or "Save selected", a command line that is ignored, a
canvas and arrow keys that change nothing, a width drag painted only at
its release, the red grid with green row labels, and "Save image.."
writing a baseline JFIF file of the canvas through the real dialog."""

import os
import time

import harness
import winharness
from harness import CANVAS_H, CANVAS_W, PLACES, picture, wait_until
from test_variant import CHROMINANCE, LUMINANCE, decode, jpeg_segments, quality_70
from winharness import CONTROL, winpath

TITLE = "Vexelor, sprsize:1 disp:0 zoom:1"
JPG_DIALOG = r"^Save jpg Image\.\.\.$"
RED, GREEN = (255, 0, 0), (0, 255, 0)


class VariantTest(winharness.WinGuiTest):

    binary = winharness.VEXELOR_JPEG_EXE

    def assertCanvas(self, app, expected):
        self.assertIsNone(harness.first_difference(app.wait_idle(), expected))

    def test_smaller_window_without_status_bar_field_or_selection(self):
        data = bytes(range(256)) * 4
        given = self.fixture("given.bin", data)
        app = self.start(winpath(given))
        self.assertEqual(app.title(), TITLE)
        # The command line is ignored: the empty view, one pixel further right.
        self.assertCanvas(app, picture(b"", shift=1))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 481, 32))
        # Inner area 660 x 600 from the top of the menu bar; no status bar.
        self.assertEqual(app.inner_size(), (660, 600))
        cx, cy, cw, ch = app.client()
        state = app.state()
        children = app.session.inspector.children(app.hwnd)
        self.assertEqual([c for c in children if c["cls"] == "msctls_statusbar32"], [])
        self.assertIsNone(app.status())
        # The controls of vexelor without the displacement field, its label and ">".
        ids = {c["id"] for c in children}
        for name, tk in app.ids.items():
            self.assertIn(CONTROL + tk, ids, name)
        for missing in (3, 13, 15):
            self.assertNotIn(CONTROL + missing, ids)
        for name in ("GridCheck", "OffsetSpin", "WidthScroll"):
            l, t, r, b = app.control_rect(CONTROL + app.ids[name])
            self.assertEqual((l - cx, t - cy), PLACES[name][:2], name)
        # The menu bar: "Project", "x1", "x2", "x8" and nothing after them.
        boxes = sorted((int(v.split(",")[0]), k[len("menubox:"):]) for k, v in state.items()
                       if k.startswith("menubox:"))
        self.assertEqual([name for _, name in boxes], ["Project", "x1", "x2", "x8"])
        self.assertNotIn("menu:Save selected", state)
        # Mouse on the canvas and the arrow keys change nothing.
        app.drop([given])
        self.assertCanvas(app, picture(data, shift=1))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 1024, 2))
        before = app.wait_idle()
        state = app.state()
        app.click_canvas(40, 40)
        app.drag_canvas([(10, 10), (60, 50), (120, 200), (200, 300)])
        app.click_canvas(300, 100, button=3)
        app.key("Right", "Up", "Up")
        time.sleep(0.3)
        self.assertEqual(app.wait_idle(), before)
        self.assertEqual(app.title(), TITLE)
        self.assertEqual(app.state(), state)
        app.click_close_box()
        self.assertEqual(app.wait_exit(), 0)

    def test_width_thumb_drag_is_painted_only_at_release(self):
        data = bytes((i * 37 + (i >> 7) * 11) & 0xFF for i in range(30000))
        app = self.start()
        app.drop([self.fixture("wide.bin", data)])
        app.wait_title(TITLE)
        start = app.wait_idle()
        # The thumb sits at the left end of the track, right of the arrow.
        l, t, r, b = app.control_rect(CONTROL + app.ids["WidthScroll"])
        sx, sy = l + 17 + 6, (t + b) // 2
        self.x.run("xdotool", "mousemove", str(sx), str(sy), "mousedown", "1")
        shots = []
        try:
            for step in (40, 120, 200):
                self.x.run("xdotool", "mousemove", str(sx + step), str(sy))
                time.sleep(0.4)
                shots.append(app.canvas())
                self.assertEqual(app.title(), TITLE)
        finally:
            self.x.run("xdotool", "mouseup", "1")
        for shot in shots:
            self.assertIsNone(harness.first_difference(shot, start), "the canvas changed during the drag")
        width = wait_until(lambda: app.scroll("WidthScroll")[0] > 1 and app.scroll("WidthScroll")[0],
                           what="a wider width")
        app.wait_title("Vexelor, sprsize:%d disp:0 zoom:1" % width)
        self.assertCanvas(app, picture(data, width, shift=1))
        self.assertEqual(app.control_text("OffsetSpin"), "0")

    def test_grid_is_red_with_green_row_labels(self):
        app = self.start()
        app.drop([self.fixture("game.rom", bytes(range(256)) * 8)])
        for _ in range(3):  # width 4
            app.click_control("WidthScroll", dx=632)
        app.click_control("GridCheck", dx=8)
        app.wait_title("Vexelor, sprsize:4, grid:8x8 disp:0 zoom:1")
        canvas = app.wait_idle()
        px = app.pixel
        for x in range(0, CANVAS_W, 8):
            self.assertEqual(px(canvas, x, 100 + 4), RED, "vertical line at x = %d" % x)  # no green major line
        for y in range(0, CANVAS_H, 8):
            self.assertEqual(px(canvas, 4, y), RED, "horizontal line at y = %d" % y)

        def green_in(x0, x1, y0, y1):
            return any(px(canvas, x, y) == GREEN for x in range(x0, x1) for y in range(y0, y1))
        # Labels stand at x = 32 (where the cells end) on every other line.
        for y in (0, 16, 32, 464):
            self.assertTrue(green_in(32, 80, y + 1, y + 8), "no label at y = %d" % y)
        self.assertFalse(green_in(0, 32, 0, CANVAS_H), "green left of the labels")

    def test_save_image_writes_baseline_jfif_files(self):
        data = bytes((i * 2654435761 >> 13) & 0xFF for i in range(10 * 200))
        app = self.start()
        rom = self.fixture("game.rom", data)
        app.drop([rom])
        app.click_control("GridCheck", dx=8)
        app.menu("x2")
        app.wait_title("Vexelor, sprsize:1, grid:8x8 disp:0 zoom:2")
        shown = app.wait_idle()
        cases = [("game.rom", 1, "game.rom.jpg"), ("pic.jpg", 1, "pic.jpg.jpg"), ("pic", 2, "pic")]
        for name, pattern, written in cases:
            with self.subTest(name=name, pattern=pattern):
                app.menu("Project/Save image..")
                dialog = app.dialog(JPG_DIALOG)
                app.wait_focus_in(dialog)
                self.assertEqual(app.inspect("text", dialog, 0x470), "JPEG Images")
                if pattern == 2:
                    self.x.key("alt+t", "Down")
                self.x.key("alt+n", "Home", "shift+End")
                self.x.type(name)
                self.x.key("Return")
                path = os.path.join(self.dir, written)
                wait_until(lambda: os.path.exists(path), what=written)  # appears by a rename once complete
                with open(path, "rb") as f:
                    jpeg = f.read()
                segments = jpeg_segments(jpeg)
                self.assertEqual([m for m, _ in segments],
                                 [0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9])
                self.assertEqual(dict(segments)[0xE0], b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
                self.assertEqual(dict(segments)[0xC0], bytes([8, 1, 225, 2, 129, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1]))
                tables = [p for m, p in segments if m == 0xDB]
                self.assertEqual(tables, [b"\x00" + quality_70(LUMINANCE), b"\x01" + quality_70(CHROMINANCE)])
                decoded = decode(path)
                self.assertEqual(len(decoded), len(shown))
                self.assertLess(sum(abs(a - b) for a, b in zip(decoded, shown)) / len(shown), 40)
        self.assertEqual(sorted(os.listdir(self.dir)), ["game.rom", "game.rom.jpg", "pic", "pic.jpg.jpg"])
        # Over an existing file the question comes; No keeps the file.
        pic = os.path.join(self.dir, "pic")
        with open(pic, "rb") as f:
            before = f.read()
        app.menu("Project/Save image..")
        app.press_in_dialog(JPG_DIALOG, "alt+t", "Down", "alt+n", "Home", "shift+End")
        self.x.type("pic")
        self.x.key("Return")
        app.answer_yes_no("^CanvasGadget$", yes=False)
        time.sleep(0.3)
        with open(pic, "rb") as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(app.title(), "Vexelor, sprsize:1, grid:8x8 disp:0 zoom:2")


if __name__ == "__main__":
    winharness.main()
