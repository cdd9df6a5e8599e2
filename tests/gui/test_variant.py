"""vexelor-jpeg in a real X server: the smaller window without status bar,
displacement field or "Save selected", a command line that is ignored, a
canvas deaf to the mouse, a width drag painted only at its release, and
"Save image.." writing a baseline JFIF file of the canvas."""

import fcntl
import os
import struct
import subprocess
import time

import harness
from harness import CANVAS_W, CANVAS_H, MENU_HEIGHT

BLACK, WHITE, BLUE = (0, 0, 0), (255, 255, 255), (0, 0, 255)




def jpeg_segments(data):
    """The marker segments of a JPEG file as (marker, payload), SOI and EOI included."""
    assert data[:2] == b"\xff\xd8", "no SOI"
    segments = [(0xD8, b"")]
    at = 2
    while at < len(data):
        assert data[at] == 0xFF, "no marker at %d" % at
        marker = data[at + 1]
        at += 2
        if marker == 0xD9:
            segments.append((0xD9, b""))
            assert at == len(data), "bytes after EOI"
            return segments
        length = int.from_bytes(data[at:at + 2], "big")
        segments.append((marker, data[at + 2:at + length]))
        at += length
        if marker == 0xDA:
            while not (data[at] == 0xFF and data[at + 1] != 0 and not 0xD0 <= data[at + 1] <= 0xD7):
                assert not (data[at] == 0xFF and 0xD0 <= data[at + 1] <= 0xD7), "restart marker"
                at += 1
    raise AssertionError("no EOI")


LUMINANCE = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
             14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
             18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
             49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMINANCE = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
               24, 26, 56, 99, 99, 99, 99, 99, 47, 66] + [99] * 38
ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
          41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
          30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]


def quality_70(table):
    """An example table scaled for quality 70, in the file's zigzag order."""
    return bytes(max(1, (table[ZIGZAG[i]] * 60 + 50) // 100) for i in range(64))


def decode(path):
    """The decoded file as 641 x 481 RGB bytes."""
    r = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, timeout=30)
    if r.returncode != 0:
        raise AssertionError("cannot decode %s: %s" % (path, r.stderr.decode(errors="replace")))
    return r.stdout


FS_IOC_GETFLAGS, FS_IOC_SETFLAGS, FS_IMMUTABLE_FL = 0x80086601, 0x40086602, 0x10


def set_immutable(path, on):
    """Root writes through permission bits; the immutable flag stops it too."""
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    try:
        flags = struct.unpack("l", fcntl.ioctl(fd, FS_IOC_GETFLAGS, struct.pack("l", 0)))[0]
        flags = flags | FS_IMMUTABLE_FL if on else flags & ~FS_IMMUTABLE_FL
        fcntl.ioctl(fd, FS_IOC_SETFLAGS, struct.pack("l", flags))
    finally:
        os.close(fd)


class VariantTest(harness.GuiTest):

    binary = harness.VEXELOR_JPEG

    def assertCanvas(self, app, expected):
        actual = app.wait_idle()
        self.assertIsNone(harness.first_difference(actual, expected))

    def window_rows(self, app, y0, y1):
        gx, gy = app.origin()
        return self.x.grab(gx, gy + y0, 660, y1 - y0)

    def test_window_is_the_smaller_one_without_status_bar_field_or_selection_item(self):
        app = self.start()
        _, _, w, h = self.x.geometry(app.wid)
        self.assertEqual((w, h), (660, 600))
        self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
        state = app.state()
        # The menu bar: "Project", "x1", "x2", "x8" and nothing after them.
        boxes = sorted((int(v.split(",")[0]), k[len("menubox:"):]) for k, v in state.items()
                       if k.startswith("menubox:"))
        self.assertEqual([name for _, name in boxes], ["Project", "x1", "x2", "x8"])
        self.assertNotIn("menu:Save selected", state)
        for item in harness.PROJECT_ITEMS:
            self.assertTrue(app.menu_enabled("Project/" + item), item)
        for item in ("x1", "x2", "x8"):
            self.assertTrue(app.menu_enabled(item), item)
        # No status text; the only text controls are the three spin boxes.
        self.assertEqual(state.get("status"), "")
        texts = sorted(int(k[len("text:"):]) for k in state if k.startswith("text:"))
        self.assertEqual(texts, [7, 9, 11])
        self.assertEqual((app.control_text("GridXSpin"), app.control_text("GridYSpin")), ("8", "8"))
        controls = {int(k.split(":")[1]) for k in state if k.split(":")[0] in ("text", "scroll", "check", "spin")}
        self.assertEqual(controls, {1, 2, 4, 5, 7, 9, 11, 12, 14})
        # Below the controls the window is bare background down to its edge:
        # no status bar box, nothing where "disp" and its field would be.
        bottom = self.window_rows(app, MENU_HEIGHT + 561, 600)
        self.assertEqual(len(set(bottom[i:i + 3] for i in range(0, len(bottom), 3))), 1)
        gx, gy = app.origin()
        disp_place = self.x.grab(gx + 170, gy + MENU_HEIGHT + 540, 150, 20)
        self.assertEqual(len(set(disp_place[i:i + 3] for i in range(0, len(disp_place), 3))), 1,
                         "something is drawn where the displacement field would be")

    def test_command_line_file_is_ignored(self):
        data = bytes(range(256)) * 4
        app = self.start(self.fixture("given.bin", data))
        self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
        self.assertCanvas(app, harness.picture(b"", shift=1))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 481, 32))
        # The same file dropped on the window is loaded.
        app.drop([os.path.join(self.dir, "given.bin")])
        self.assertCanvas(app, harness.picture(data, shift=1))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 1024, 2))

    def test_mouse_on_the_canvas_changes_nothing(self):
        data = bytes((i * 7919 >> 3) & 0xFF for i in range(40000))
        app = self.start()
        app.drop([self.fixture("big.bin", data)])
        app.wait_title("Vexelor, sprsize:1 disp:0 zoom:1")
        before = app.wait_idle()
        self.assertIsNone(harness.first_difference(before, harness.picture(data, shift=1)))
        state = app.state()
        app.click_canvas(40, 40)
        app.drag_canvas([(10, 10), (60, 50), (120, 200), (200, 300)])
        app.click_canvas(300, 100, button=3)
        app.drag_canvas([(300, 300), (100, 100)], button=3)
        app.click_canvas(500, 400, button=2)
        time.sleep(0.3)
        self.assertEqual(app.wait_idle(), before)
        self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
        self.assertEqual(app.state(), state)

    def test_width_thumb_drag_is_painted_only_at_release(self):
        data = bytes((i * 37 + (i >> 7) * 11) & 0xFF for i in range(30000))
        app = self.start()
        app.drop([self.fixture("wide.bin", data)])
        app.wait_title("Vexelor, sprsize:1 disp:0 zoom:1")
        start = app.wait_idle()
        # The thumb sits at the left end of the track, right of the 17-pixel arrow.
        x, y = app.point_in_control("WidthScroll", dx=17 + 12)
        sx, sy = app.screen_point(x, y)
        self.x.run("xdotool", "mousemove", str(sx), str(sy), "mousedown", "1")
        shots = []
        for step in (40, 120, 200):
            self.x.run("xdotool", "mousemove", str(sx + step), str(sy))
            time.sleep(0.4)
            shots.append(app.canvas())
            self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
        for shot in shots:
            self.assertIsNone(harness.first_difference(shot, start), "the canvas changed during the drag")
        self.x.run("xdotool", "mouseup", "1")
        app.wait_title(harness.re.compile(r"^Vexelor, sprsize:(\d+) disp:0 zoom:1$"))
        width = app.scroll("WidthScroll")[0]
        self.assertGreater(width, 1)
        app.wait_title("Vexelor, sprsize:%d disp:0 zoom:1" % width)
        self.assertCanvas(app, harness.picture(data, width, shift=1))
        self.assertEqual(app.control_text("OffsetSpin"), "0")

    def test_save_image_writes_a_baseline_jfif_of_the_canvas(self):
        data = bytes((i * 2654435761 >> 13) & 0xFF for i in range(10 * 200))
        app = self.start()
        app.drop([self.fixture("game.rom", data)])
        app.wait_title("Vexelor, sprsize:1 disp:0 zoom:1")
        app.click_control("GridCheck", dx=8)
        app.wait_title("Vexelor, sprsize:1, grid:8x8 disp:0 zoom:1")
        app.menu("x2")
        app.wait_title("Vexelor, sprsize:1, grid:8x8 disp:0 zoom:2")
        shown = app.wait_idle()
        app.menu("Project/Save image..")
        # The dialog proposes the loaded file's name in its folder; accepted
        # with "JPEG Images" selected, ".jpg" is appended.
        app.press_in_dialog("^Save jpg Image", "Return")
        path = os.path.join(self.dir, "game.rom.jpg")
        # The file appears by a rename once it is complete.
        harness.wait_until(lambda: os.path.exists(path), what="game.rom.jpg")
        with open(path, "rb") as f:
            data = f.read()
        segments = jpeg_segments(data)
        self.assertEqual([m for m, _ in segments],
                         [0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA, 0xD9])
        payload = dict(segments[1:3])
        self.assertEqual(payload[0xE0], b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
        sof = dict(segments)[0xC0]
        self.assertEqual(sof, bytes([8, 1, 225, 2, 129, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1]))
        tables = [p for m, p in segments if m == 0xDB]
        self.assertEqual(tables[0], b"\x00" + quality_70(LUMINANCE))
        self.assertEqual(tables[1], b"\x01" + quality_70(CHROMINANCE))
        # The file holds the picture the canvas showed, grid lines included.
        decoded = decode(path)
        self.assertEqual(len(decoded), len(shown))
        mean = sum(abs(a - b) for a, b in zip(decoded, shown)) / len(shown)
        self.assertLess(mean, 40)
        self.assertEqual(sorted(os.listdir(self.dir)), ["game.rom", "game.rom.jpg"])
        self.assertEqual(app.title(), "Vexelor, sprsize:1, grid:8x8 disp:0 zoom:2")

    def test_save_over_a_read_only_file_is_refused_and_keeps_it(self):
        app = self.start()
        app.drop([self.fixture("game.rom", bytes(range(256)))])
        app.wait_title("Vexelor, sprsize:1 disp:0 zoom:1")
        old = b"an older picture"
        target = self.fixture("game.rom.jpg", old)
        os.chmod(target, 0o444)
        if os.geteuid() == 0:
            try:
                set_immutable(target, True)
            except OSError:
                self.skipTest("this file system cannot make a file read-only for root")
        try:
            app.menu("Project/Save image..")
            app.press_in_dialog("^Save jpg Image", "Return")
            question = app.dialog("^CanvasGadget$")
            gx, gy, w, h = self.x.geometry(question)
            self.x.run("xdotool", "mousemove", str(gx + w // 2 - 50), str(gy + 67), "click", "1")  # "Yes"
            message = harness.wait_until(
                lambda: [wid for wid in self.x.run("xdotool", "search", "--onlyvisible", "--name", "^CanvasGadget$",
                                                   check=False).split() if wid != question],
                what="the failure message")[0]
            # "Cannot save image: " with its OK button, the default one.
            mx, my, mw, mh = self.x.geometry(message)
            self.x.run("xdotool", "mousemove", str(mx + mw // 2), str(my + mh // 2))
            self.x.key("Return")
            harness.wait_until(lambda: self.x.window_gone(message), what="the message to close")
            with open(target, "rb") as f:
                self.assertEqual(f.read(), old)
            self.assertEqual(sorted(os.listdir(self.dir)), ["game.rom", "game.rom.jpg"])
            self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
            self.assertIsNone(app.proc.poll())
        finally:
            if os.geteuid() == 0:
                set_immutable(target, False)


if __name__ == "__main__":
    harness.main()
