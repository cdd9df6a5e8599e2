"""The viewer's spine in a real X server: start-up, the picture, loading,
scroll-bar repaint, drops, and the ways out."""

import os
import time

import harness
from harness import App, CANVAS_W, CANVAS_H

BLACK, WHITE, BLUE = (0, 0, 0), (255, 255, 255), (0, 0, 255)




class SpineTest(harness.GuiTest):

    def assertCanvas(self, app, expected):
        actual = app.wait_idle()
        self.assertIsNone(harness.first_difference(actual, expected))

    def test_command_line_file_is_shown_exactly(self):
        data = bytes((i * 37 + 11) & 0xFF for i in range(300))
        app = self.start(self.fixture("sprites.bin", data))
        self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
        self.assertEqual(app.status(), "Invalid Selection,w:0,h:0")
        self.assertCanvas(app, harness.picture(data))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 300, 0))

    def test_without_argument_the_blue_band_shows(self):
        app = self.start()
        self.assertEqual(app.title(), "Vexelor, sprsize:1 disp:0 zoom:1")
        self.assertCanvas(app, harness.picture(b""))

    def test_unusable_arguments_are_skipped_silently(self):
        empty = self.fixture("empty.bin", b"")
        for arg in (empty, self.dir, os.path.join(self.dir, "missing.bin")):
            with self.subTest(arg=arg):
                app = self.start(arg)
                self.assertCanvas(app, harness.picture(b""))
                self.assertEqual(app.scroll("RowScroll"), (0, 0, 481, 32))
                app.request_close()
                self.assertEqual(app.wait_exit(), 0)

    def test_dragged_row_thumb_repaints_during_the_drag(self):
        data = bytes((i * 7919 >> 3) & 0xFF for i in range(40000))
        app = self.start(self.fixture("big.bin", data))
        start = app.wait_idle()
        x, y = app.point_in_control("RowScroll", dy=20)
        sx, sy = app.screen_point(x, y)
        self.x.run("xdotool", "mousemove", str(sx), str(sy), "mousedown", "1")
        shots = []
        for step in (60, 160):
            self.x.run("xdotool", "mousemove", str(sx), str(sy + step))
            time.sleep(0.4)
            shots.append(app.canvas())
        self.x.run("xdotool", "mouseup", "1")
        self.assertNotEqual(shots[0], start)
        self.assertNotEqual(shots[1], shots[0])
        row = app.scroll("RowScroll")[0]
        self.assertGreater(row, 0)
        app.wait_title("Vexelor, sprsize:1 disp:%d zoom:1" % row)
        self.assertCanvas(app, harness.picture(data[row:]))

    def test_dropped_file_is_loaded(self):
        first = bytes(range(256)) * 2
        second = b"\xff" * 64
        app = self.start()
        app.drop([self.fixture("drop me.bin", first), self.fixture("other.bin", second)])
        self.assertCanvas(app, harness.picture(first))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 512, 1))

    def test_dropped_folder_ends_with_message_and_code_1(self):
        app = self.start()
        sub = os.path.join(self.dir, "folder")
        os.mkdir(sub)
        app.drop([sub])
        app.press_in_dialog("^Information$", "Return")
        self.assertEqual(app.wait_exit(), 1)

    def test_quit_and_close_box_end_with_code_0(self):
        app = self.start()
        app.menu("Project/Quit")
        self.assertEqual(app.wait_exit(), 0)
        app = self.start()
        app.request_close()
        self.assertEqual(app.wait_exit(), 0)

    def test_escape_does_not_close(self):
        app = self.start()
        app.key("Escape")
        time.sleep(0.5)
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    harness.main()
