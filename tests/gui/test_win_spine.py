"""vexelor.exe under Wine: the window as opened, the picture of a file named
on the command line or dropped, the row thumb drag, and the ways out."""

import os
import time

import harness
import winharness
from harness import CANVAS_H, CANVAS_W, PLACES, picture, wait_until
from winharness import CONTROL, UPDOWN, winpath

TITLE = "Vexelor, sprsize:1 disp:0 zoom:1"
SCREEN_W, SCREEN_H = 1280, 1024


def relative(rect, origin):
    """A screen rectangle (l, t, r, b) as (x, y, w, h) from an origin."""
    l, t, r, b = rect
    return l - origin[0], t - origin[1], r - l, b - t


def union(a, b):
    return min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])


def message_text(app, hwnd):
    """The text of a message box: its static with id 0xFFFF."""
    return [c["text"] for c in app.session.inspector.children(hwnd) if c["id"] == 0xFFFF][0]


class SpineTest(winharness.WinGuiTest):

    def assertCanvas(self, app, expected):
        self.assertIsNone(harness.first_difference(app.wait_idle(), expected))

    def test_window_as_opened(self):
        app = self.start()
        self.assertEqual(app.title(), TITLE)
        self.assertCanvas(app, picture(b""))
        self.assertEqual(app.status(), "Invalid Selection,w:0,h:0")
        self.assertEqual(app.state().get("status"), "Invalid Selection,w:0,h:0")
        # A caption with a close box; no resizing, minimising or maximising; takes drops.
        style, exstyle = (int(v, 16) for v in app.inspect("style", app.hwnd).split(","))
        WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0xC00000, 0x80000, 0x40000, 0x20000, 0x10000
        self.assertEqual(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU)
        self.assertEqual(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0)
        self.assertTrue(exstyle & 0x10, "WS_EX_ACCEPTFILES")
        # Inner area 660 x 610 inside the frame and caption, the menu bar taking its height from it.
        self.assertEqual(app.inner_size(), (660, 610))
        cx, cy, cw, ch = app.client()
        self.assertEqual(cw, 660)
        self.assertLess(ch, 600)
        # Centred on the screen.
        l, t, r, b = app.window_rect()
        self.assertLessEqual(abs((l + r) - SCREEN_W), 1, app.window_rect())
        self.assertLessEqual(abs((t + b) - SCREEN_H), 1, app.window_rect())
        # The controls sit where the viewer places them, the canvas at the top left.
        origin = app.client_origin
        self.assertEqual(relative(app.canvas_rect(), origin), (0, 0, CANVAS_W, CANVAS_H))
        ids = dict(app.ids, DispGoButton=15)
        for name, place in sorted(PLACES.items()):
            with self.subTest(control=name):
                rect = app.control_rect(CONTROL + ids[name])
                if name.endswith("Spin"):  # the text part and its up-down arrows together
                    rect = union(rect, app.control_rect(UPDOWN + ids[name]))
                self.assertEqual(relative(rect, origin), place)
        # The status bar, of one part, spans the width below the controls.
        bar = [c for c in app.session.inspector.children(app.hwnd) if c["cls"] == "msctls_statusbar32"]
        self.assertEqual(len(bar), 1)
        self.assertEqual(app.inspect("parts", app.hwnd), "1")
        x, y, w, h = relative(bar[0]["rect"], origin)
        self.assertEqual((x, w, y + h), (0, 660, ch))
        # Menu: "Save selected" greyed, the rest available.
        state = app.state()
        for item in harness.PROJECT_ITEMS:
            self.assertEqual(state.get("menu:Project/" + item), "on", item)
        for item in ("x1", "x2", "x8"):
            self.assertEqual(state.get("menu:" + item), "on", item)
        self.assertEqual(state.get("menu:Save selected"), "off")
        boxes = sorted((int(v.split(",")[0]), k[len("menubox:"):]) for k, v in state.items() if k.startswith("menubox:"))
        self.assertEqual([name for _, name in boxes], ["Project", "x1", "x2", "x8", "Save selected"])
        # The scroll bars and boxes as opened.
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 481, 32))
        self.assertEqual(app.scroll("WidthScroll"), (1, 1, 272, 16))
        self.assertEqual([app.control_text(n) for n in ("OffsetSpin", "GridXSpin", "GridYSpin", "DispField")],
                         ["", "8", "8", "0"])
        for name in ("GridCheck", "InvertCheck", "ColumnsCheck", "AlignCheck"):
            self.assertFalse(app.checked(name), name)
        # Escape does not close the window.
        app.key("Escape")
        time.sleep(0.5)
        self.assertTrue(app.running())

    def test_command_line_file_is_shown_exactly(self):
        data = bytes((i * 37 + 11) & 0xFF for i in range(300))
        path = self.fixture("sprites one.bin", data)
        # The absolute Windows name, and the name relative to the working folder.
        for arg in (winpath(path), "sprites one.bin"):
            with self.subTest(arg=arg):
                app = self.start(arg)
                self.assertEqual(app.title(), TITLE)
                self.assertCanvas(app, picture(data))
                self.assertEqual(app.scroll("RowScroll"), (0, 0, 300, 0))
                self.assertEqual(app.status(), "Invalid Selection,w:0,h:0")
                app.request_close()
                self.assertEqual(app.wait_exit(), 0)

    def test_unusable_arguments_are_skipped_silently(self):
        empty = self.fixture("empty.bin", b"")
        for arg in (winpath(empty), winpath(self.dir), winpath(os.path.join(self.dir, "missing.bin"))):
            with self.subTest(arg=arg):
                app = self.start(arg)
                self.assertCanvas(app, picture(b""))
                self.assertEqual(app.scroll("RowScroll"), (0, 0, 481, 32))
                self.assertEqual(self.session.windows("^Information$"), [])
                app.request_close()
                self.assertEqual(app.wait_exit(), 0)

    def test_dragged_row_thumb_repaints_during_the_drag(self):
        data = bytes((i * 7919 >> 3) & 0xFF for i in range(40000))
        app = self.start(winpath(self.fixture("big.bin", data)))
        start = app.wait_idle()
        # The thumb sits at the top of the track, right below the upper arrow.
        l, t, r, b = app.control_rect(CONTROL + app.ids["RowScroll"])
        sx, sy = (l + r) // 2, t + 20
        self.x.run("xdotool", "mousemove", str(sx), str(sy), "mousedown", "1")
        shots, rows = [], []
        try:
            for step in (60, 160):
                self.x.run("xdotool", "mousemove", str(sx), str(sy + step))
                time.sleep(0.4)
                shots.append(app.canvas())
                rows.append(int(app.inspect("scroll", app.hwnd, CONTROL + app.ids["RowScroll"]).split(",")[4]))
        finally:
            self.x.run("xdotool", "mouseup", "1")
        # While the button is held, the canvas follows the thumb.
        self.assertNotEqual(shots[0], start)
        self.assertNotEqual(shots[1], shots[0])
        self.assertGreater(rows[1], rows[0])
        self.assertIsNone(harness.first_difference(shots[1], picture(data[rows[1]:])))
        row = app.scroll("RowScroll")[0]
        self.assertGreater(row, 0)
        app.wait_title("Vexelor, sprsize:1 disp:%d zoom:1" % row)
        self.assertCanvas(app, picture(data[row:]))

    def test_dropped_file_is_loaded_and_a_folder_ends_the_program(self):
        first = bytes(range(256)) * 2
        second = b"\xff" * 64
        app = self.start()
        app.drop([self.fixture("drop me.bin", first), self.fixture("other.bin", second)])
        self.assertCanvas(app, picture(first))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 512, 1))
        self.assertEqual(app.title(), TITLE)
        # A folder dropped: the message, then the program ends with code 1.
        sub = os.path.join(self.dir, "folder")
        os.mkdir(sub)
        app.drop([sub])
        box = app.dialog("^Information$")
        self.assertEqual(message_text(app, box), "Couldn't open the file!")
        self.assertTrue(app.running())
        app.press_in_dialog("^Information$", "Return")
        self.assertEqual(app.wait_exit(), 1)

    def test_quit_and_the_close_box_end_with_code_0(self):
        for way in ("Quit", "close request", "close box"):
            with self.subTest(way=way):
                app = self.start()
                if way == "Quit":
                    app.menu("Project/Quit")
                elif way == "close request":
                    app.request_close()
                else:
                    app.click_close_box()
                self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    winharness.main()
