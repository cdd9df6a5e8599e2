"""vexelor.exe under Wine: typed and stepped numbers rewritten by the boxes,
width and row moved by the arrow keys, the zoom items, "Open..", ">" and
the check boxes, on the real Win32 controls."""

import os
import time

import harness
import winharness
from harness import BLACK, BLUE, wait_until


def title_for(width, disp, zoom=1, grid=None):
    return "Vexelor, sprsize:%d%s disp:%d zoom:%d" % (width, ", grid:%dx%d" % grid if grid else "", disp, zoom)


class ControlsTest(winharness.WinGuiTest):

    def widen(self, app, width):
        """Sets the width from 1 with the Right key, one press at a time."""
        for w in range(2, width + 1):
            app.key("Right")
            app.wait_title(title_for(w, 0))

    def test_offset_box_rewrites_what_is_typed(self):
        app = self.start()
        app.type_into("OffsetSpin", "20")
        app.wait_title(title_for(1, 1))  # only 0 and 1 before a width change
        self.assertEqual(app.control_text("OffsetSpin"), "1")
        self.widen(app, 8)
        self.assertEqual(app.control_text("OffsetSpin"), "0")
        self.assertEqual(app.spin("OffsetSpin"), (0, -8, 8))
        app.type_into("OffsetSpin", "20")
        app.wait_title(title_for(8, 8))
        self.assertEqual(app.control_text("OffsetSpin"), "8")
        self.assertEqual(app.control_text("DispField"), "8")
        # The sign typed in front of the digits gives the negative offset.
        self.x.key("Home")
        self.x.type("-")
        app.wait_title(title_for(8, -8))
        self.assertEqual(app.control_text("OffsetSpin"), "-8")
        # The text cursor went to the end: a key typed now acts there.
        self.x.key("BackSpace")
        app.wait_title(title_for(8, 0))
        self.assertEqual(app.control_text("OffsetSpin"), "0")  # "-" reads as 0
        self.x.type("5")
        app.wait_title(title_for(8, 5))
        self.assertEqual(app.control_text("OffsetSpin"), "5")  # "05"
        # A lone minus sign over the whole text reads as 0.
        app.type_into("OffsetSpin", "-")
        app.wait_title(title_for(8, 0))
        self.assertEqual(app.control_text("OffsetSpin"), "0")
        # The box's arrows step it, and stop at the range's end.
        for _ in range(10):
            app.click_control("OffsetSpin", dx=74, dy=15)  # the lower arrow
            time.sleep(0.1)
        app.wait_title(title_for(8, -8))
        self.assertEqual(app.control_text("OffsetSpin"), "-8")
        app.click_control("OffsetSpin", dx=74, dy=4)  # the upper arrow
        app.wait_title(title_for(8, -7))
        self.assertEqual(app.control_text("OffsetSpin"), "-7")

    def test_grid_boxes_stay_between_1_and_25(self):
        app = self.start()
        app.click_control("GridCheck", dx=8)
        app.wait_title(title_for(1, 0, grid=(8, 8)))
        self.assertTrue(app.checked("GridCheck"))
        app.type_into("GridXSpin", "123")
        app.wait_title(title_for(1, 0, grid=(25, 8)))
        self.assertEqual(app.control_text("GridXSpin"), "25")
        self.x.key("Home", "shift+End", "BackSpace")
        app.wait_title(title_for(1, 0, grid=(1, 8)))
        self.assertEqual(app.control_text("GridXSpin"), "1")
        app.type_into("GridXSpin", "8")
        app.wait_title(title_for(1, 0, grid=(8, 8)))
        self.x.key("End")
        self.x.type("1")  # 81
        app.wait_title(title_for(1, 0, grid=(25, 8)))
        self.assertEqual(app.control_text("GridXSpin"), "25")
        app.type_into("GridYSpin", "0")
        app.wait_title(title_for(1, 0, grid=(25, 1)))
        self.assertEqual(app.control_text("GridYSpin"), "1")
        self.assertEqual(app.spin("GridYSpin"), (1, 1, 25))
        # The arrows step the box.
        app.click_control("GridYSpin", dx=74, dy=4)
        app.wait_title(title_for(1, 0, grid=(25, 2)))
        self.assertEqual(app.control_text("GridYSpin"), "2")
        app.click_control("GridXSpin", dx=74, dy=4)  # held at 25
        time.sleep(0.3)
        self.assertEqual(app.title(), title_for(1, 0, grid=(25, 2)))
        self.assertEqual(app.control_text("GridXSpin"), "25")

    def test_arrow_keys_step_once_per_press(self):
        app = self.start()
        app.key("Left")  # at width 1: nothing
        time.sleep(0.3)
        self.assertEqual(app.title(), title_for(1, 0))
        app.key("Right", "Right", "Right")
        app.wait_title(title_for(4, 0))
        time.sleep(0.3)
        self.assertEqual(app.title(), title_for(4, 0))  # three presses, three steps
        self.assertEqual(app.scroll("WidthScroll")[0], 4)
        self.assertEqual(app.spin("OffsetSpin"), (0, -4, 4))
        app.key("Left")
        app.wait_title(title_for(3, 0))
        self.assertEqual(app.spin("OffsetSpin"), (0, -3, 3))
        app.key("Down")  # at row 0: nothing
        time.sleep(0.3)
        self.assertEqual(app.title(), title_for(3, 0))
        app.key("Up", "Up")
        app.wait_title(title_for(3, 6))
        app.key("Down")
        app.wait_title(title_for(3, 3))
        time.sleep(0.3)
        self.assertEqual(app.title(), title_for(3, 3))
        self.assertEqual(app.scroll("RowScroll")[0], 1)
        # Held down, the key repeats and the view keeps moving.
        app.hold_key("Up", 1.5)
        time.sleep(0.3)
        row = app.scroll("RowScroll")[0]
        self.assertGreater(row, 5)
        app.wait_title(title_for(3, 3 * row))

    def test_focused_spin_box_steps_and_the_view_moves(self):
        app = self.start()
        app.click_control("GridXSpin", dx=10)
        self.assertEqual(app.focus()[0], winharness.CONTROL + app.ids["GridXSpin"])
        app.key("Up")
        app.wait_title(title_for(1, 1))
        wait_until(lambda: app.control_text("GridXSpin") == "9", what="GridXSpin 9")
        app.key("Down")
        app.wait_title(title_for(1, 0))
        wait_until(lambda: app.control_text("GridXSpin") == "8", what="GridXSpin 8")
        # Left and Right move the width while the cursor moves in the text.
        app.key("Right")
        app.wait_title(title_for(2, 0))
        self.assertEqual(app.control_text("GridXSpin"), "8")

    def test_zoom_items_repaint_the_canvas(self):
        data = bytes((i * 29 + 3) & 0xFF for i in range(200))
        app = self.start(winharness.winpath(self.fixture("tiles.bin", data)))
        for item, zoom in (("x2", 2), ("x8", 8), ("x1", 1)):
            with self.subTest(item=item):
                app.menu(item)
                app.wait_title(title_for(1, 0, zoom))
                self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(data, zoom=zoom)))

    def test_open_loads_the_file_typed_into_the_dialog(self):
        data = bytes(range(256)) * 3
        path = self.fixture("sprites.bin", data)
        app = self.start()
        self.widen(app, 4)
        app.menu("Project/Open..")
        dialog = app.dialog("^Please choose file to load$")
        self.assertEqual(app.inspect("text", dialog, 0x470), "Any(*.*)")  # the file-type list
        app.type_in_dialog("^Please choose file to load$", os.path.basename(path), "Return")  # the working folder
        app.wait_title(title_for(1, 0))  # a load sets the width back to 1
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(data)))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 768, 1))
        self.assertEqual(app.spin("OffsetSpin"), (0, -4, 4))  # kept by the load
        # A cancelled dialog loads nothing.
        app.menu("Project/Open..")
        dialog = app.press_in_dialog("^Please choose file to load$", "Escape")
        app.dialog_gone(dialog)
        time.sleep(0.3)
        self.assertEqual(app.title(), title_for(1, 0))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 768, 1))
        # A name of no file is taken, and empties the view without a message.
        app.menu("Project/Open..")
        app.type_in_dialog("^Please choose file to load$", "missing.bin", "Return")
        wait_until(lambda: app.scroll("RowScroll") == (0, 0, 0, 0), what="an empty row range")
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(b"")))
        self.assertEqual(self.session.windows("^Information$"), [])
        self.assertTrue(app.running())

    def test_jump_to_the_typed_displacement(self):
        app = self.start()
        self.widen(app, 16)
        app.type_into("OffsetSpin", "3")
        app.wait_title(title_for(16, 3))
        # The field takes digits only, pasted as well as typed. (The text to
        # paste is copied from the open dialog's name field.)
        app.menu("Project/Open..")
        dialog = app.type_in_dialog("^Please choose file to load$", "4x2-7", "Home", "shift+End", "ctrl+c", "Escape")
        app.dialog_gone(dialog)
        app.click_control("DispField", dx=10)
        self.x.key("Home", "shift+End", "ctrl+v")
        wait_until(lambda: app.control_text("DispField") == "427", what="the pasted digits")
        app.type_into("DispField", "1x0-00")
        wait_until(lambda: app.control_text("DispField") == "1000", what="digits only")
        app.click_control("DispGoButton")
        app.wait_title(title_for(16, 995))
        self.assertEqual(app.control_text("DispField"), "995")
        self.assertEqual(app.scroll("RowScroll")[0], 62)

    def test_width_bar_resets_the_offset_and_the_row_bar_steps(self):
        app = self.start()
        app.type_into("OffsetSpin", "1")
        app.wait_title(title_for(1, 1))
        app.click_control("WidthScroll", dx=632)  # the right arrow
        app.wait_title(title_for(2, 0))
        self.assertEqual(app.control_text("OffsetSpin"), "0")
        self.assertEqual(app.spin("OffsetSpin"), (0, -2, 2))
        self.assertEqual(app.scroll("WidthScroll")[0], 2)
        app.click_control("WidthScroll", dx=300)  # the track: a page of 16
        app.wait_title(title_for(18, 0))
        app.click_control("RowScroll", dy=462)  # the lower arrow
        app.wait_title(title_for(18, 18))
        self.assertEqual(app.scroll("RowScroll")[0], 1)

    def test_check_boxes_repaint(self):
        app = self.start()
        app.click_control("ColumnsCheck", dx=8)
        wait_until(lambda: app.checked("ColumnsCheck"), what="Columns checked")
        canvas = app.wait_idle()
        # 80 columns of 8 pixels, all past the end of no data.
        self.assertEqual(app.pixel(canvas, 100, 0), BLUE)
        self.assertEqual(app.pixel(canvas, 640, 480), BLACK)
        app.click_control("GridCheck", dx=8)
        app.wait_title(title_for(1, 0, grid=(8, 8)))
        canvas = app.wait_idle()
        self.assertEqual(app.pixel(canvas, 8, 100), (255, 0, 0))
        self.assertEqual(app.pixel(canvas, 64, 100), (0, 255, 0))
        app.click_control("ColumnsCheck", dx=8)
        app.click_control("GridCheck", dx=8)
        app.wait_title(title_for(1, 0))
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(b"")))
        self.assertFalse(app.checked("ColumnsCheck"))


if __name__ == "__main__":
    winharness.main()
