"""The mouse on the canvas in a real X server: the selection drag, also
beyond the window's edges, and the right-click jump."""

import time

import harness


class MouseTest(harness.GuiTest):

    def widen(self, app, width, disp=0):
        app.key(*["Right"] * (width - 1))
        app.wait_title("Vexelor, sprsize:%d disp:%d zoom:1" % (width, disp))

    def canvas_point(self, app, cx, cy):
        return cx, cy + harness.MENU_HEIGHT

    def test_drag_marks_the_selection(self):
        app = self.start()
        self.widen(app, 8)
        self.assertFalse(app.menu_enabled("Save selected"))
        app.move(*self.canvas_point(app, 100, 50))
        self.x.run("xdotool", "mousedown", "1")
        app.wait_state("status", "Invalid Selection,w:-100,h:-50")
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.empty_view(8, (0, 0, 100, 50))))
        self.assertFalse(app.menu_enabled("Save selected"))
        for cx, cy in ((110, 55), (125, 60), (140, 66)):
            time.sleep(0.05)
            app.move(*self.canvas_point(app, cx, cy))
        app.wait_state("status", "x:100 y:50 w:5 h:16")
        self.x.run("xdotool", "mouseup", "1")
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.empty_view(8, (100, 50, 40, 16))))
        self.assertTrue(app.menu_enabled("Save selected"))
        # The release changed nothing.
        self.assertEqual(app.status(), "x:100 y:50 w:5 h:16")

    def test_drag_goes_on_outside_the_window(self):
        app = self.start()
        self.widen(app, 8)
        app.move(*self.canvas_point(app, 100, 50))
        self.x.run("xdotool", "mousedown", "1")
        try:
            app.wait_state("status", "Invalid Selection,w:-100,h:-50")
            app.move(*self.canvas_point(app, 60, 20))
            app.move(*self.canvas_point(app, -40, -55))  # above and left of the window
            app.wait_state("status", "Invalid Selection,w:-140,h:-105")
            app.move(*self.canvas_point(app, 150, 700))  # below the window
            app.wait_state("status", "x:100 y:50 w:6 h:650")
        finally:
            self.x.run("xdotool", "mouseup", "1")
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.empty_view(8, (100, 50, 50, 431))))
        self.assertTrue(app.menu_enabled("Save selected"))
        # A drag wider than a row of cells is kept but shown only by a later repaint.
        app.drag_canvas([(10, 10), (90, 30)])
        time.sleep(0.3)
        self.assertEqual(app.status(), "Invalid Selection,w:-10,h:-10")
        self.assertFalse(app.menu_enabled("Save selected"))
        app.menu("x1")
        app.wait_state("status", "x:10 y:10 w:10 h:20")

    def test_right_click_moves_the_rows(self):
        data = bytes((i * 13) & 0xFF for i in range(100000))
        app = self.start(self.fixture("big.bin", data))
        self.widen(app, 10)
        app.click_canvas(83, 20, button=3)  # 80 x 60 / 10 = 480 rows, plus 20
        app.wait_title("Vexelor, sprsize:10 disp:5000 zoom:1")
        self.assertEqual(app.scroll("RowScroll")[0], 500)
        app.click_canvas(3, 20, button=3)
        app.wait_title("Vexelor, sprsize:10 disp:5200 zoom:1")
        app.menu("x8")  # the zoom does not enter
        app.wait_title("Vexelor, sprsize:10 disp:5200 zoom:8")
        app.click_canvas(100, 5, button=3)  # 96 x 60 / 10 = 576, plus 5
        app.wait_title("Vexelor, sprsize:10 disp:11010 zoom:8")
        self.assertEqual(app.status(), "Invalid Selection,w:0,h:0")  # no selection made

    def test_right_click_stops_at_the_last_row(self):
        app = self.start(self.fixture("small.bin", bytes(1000)))
        app.click_canvas(600, 400, button=3)
        app.wait_title("Vexelor, sprsize:1 disp:999 zoom:1")  # 1000 - (2 - 1)
        self.assertEqual(app.scroll("RowScroll"), (999, 0, 1000, 2))


if __name__ == "__main__":
    harness.main()
