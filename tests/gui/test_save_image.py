""""Save image.." in the real program: the file is the canvas as the screen
shows it, and saving over it again asks first."""

import os
import struct
import time
import zlib

import harness
from harness import CANVAS_W, CANVAS_H, wait_until
from save_dialogs import answer_save_dialog, answer_yes, focus_dialog


def read_png(path):
    """(chunk types, IHDR fields, RGB rows joined) of a PNG whose rows all use
    filter type None; raises when the file is not such a PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError("no PNG signature")
    at, types, idat, header = 8, [], b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise AssertionError("bad CRC in " + kind.decode())
        types.append(kind.decode())
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = header[0] * 3
    rows = []
    for y in range(header[1]):
        row = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        if row[0] != 0:
            raise AssertionError("row %d has filter type %d" % (y, row[0]))
        rows.append(row[1:])
    return types, header, b"".join(rows)



def assert_png_of_screen(test, path, screen):
    """Checks that the file is a 641 x 481 8-bit RGB PNG of IHDR, IDAT and
    IEND chunks only, whose pixels are the screen's."""
    types, header, pixels = read_png(path)
    test.assertEqual(types[0], "IHDR")
    test.assertEqual(types[-1], "IEND")
    test.assertEqual(set(types[1:-1]), {"IDAT"})
    test.assertEqual(header, (CANVAS_W, CANVAS_H, 8, 2, 0, 0, 0))
    test.assertIsNone(harness.first_difference(pixels, screen))


class SaveImageTest(harness.GuiTest):

    def start_on_sprites(self):
        data = bytes((i * 7919 >> 3 ^ i) & 0xFF for i in range(6000))
        app = self.start(self.fixture("sprites.bin", data))
        for _ in range(3):  # width 4
            app.click_control("WidthScroll", dx=632)
        app.wait_title("Vexelor, sprsize:4 disp:0 zoom:1")
        return app

    def save_as(self, app, name, proposed=""):
        app.menu("Project/Save image..")
        answer_save_dialog(app, "^Save PNG Image AS", name, proposed)

    def assertPngOfScreen(self, path, screen):
        assert_png_of_screen(self, path, screen)

    def test_saved_file_is_the_canvas_on_screen(self):
        app = self.start_on_sprites()
        app.click_control("GridCheck")
        app.menu("x2")
        app.wait_title("Vexelor, sprsize:4, grid:8x8 disp:0 zoom:2")
        screen = app.wait_idle()
        self.save_as(app, "shot")
        path = os.path.join(self.dir, "shot.png")
        wait_until(lambda: os.path.exists(path), what="shot.png")
        self.assertPngOfScreen(path, screen)
        self.assertEqual(sorted(os.listdir(self.dir)), ["shot.png", "sprites.bin"])

    def test_saving_over_the_file_asks_first(self):
        app = self.start_on_sprites()
        first = app.wait_idle()
        self.save_as(app, "shot")
        path = os.path.join(self.dir, "shot.png")
        wait_until(lambda: os.path.exists(path), what="shot.png")
        before = open(path, "rb").read()

        app.menu("x8")
        app.wait_title("Vexelor, sprsize:4 disp:0 zoom:8")
        second = app.wait_idle()
        self.assertNotEqual(first, second)

        # No (Escape) keeps the file as it was.
        self.save_as(app, "shot", proposed="shot.png")
        question = focus_dialog(app, "^CanvasGadget$")
        self.x.key("Escape")
        wait_until(lambda: self.x.window_gone(question), what="the question to close")
        time.sleep(0.5)
        self.assertEqual(open(path, "rb").read(), before)

        # Yes replaces it with the canvas as it is now.
        self.save_as(app, "shot", proposed="shot.png")
        answer_yes(app, "^CanvasGadget$")
        wait_until(lambda: open(path, "rb").read() != before, what="the file to be replaced")
        self.assertPngOfScreen(path, second)
        self.assertEqual(sorted(os.listdir(self.dir)), ["shot.png", "sprites.bin"])


if __name__ == "__main__":
    harness.main()
