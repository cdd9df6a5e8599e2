"""The controls, the menu items and the arrow keys in a real X server:
typed numbers rewritten, width and row moved by keys, zoom, "Open.." and ">"."""

import os
import time

import harness
from harness import CANVAS_W, CANVAS_H

BLACK, WHITE, BLUE = (0, 0, 0), (255, 255, 255), (0, 0, 255)




class ControlsTest(harness.GuiTest):

    def title_for(self, width, disp, zoom=1, grid=None):
        return "Vexelor, sprsize:%d%s disp:%d zoom:%d" % (width, ", grid:%dx%d" % grid if grid else "", disp, zoom)

    def offset_spin(self, app):
        """(value, minimum, maximum) of the offset box."""
        return tuple(int(v) for v in app.state()["spin:%d" % app.ids["OffsetSpin"]].split(","))

    def widen(self, app, width):
        """Sets the width from 1 with the Right key."""
        app.key(*["Right"] * (width - 1))
        app.wait_title(self.title_for(width, 0))

    def test_offset_box_shows_the_number_it_holds(self):
        app = self.start()
        app.type_into("OffsetSpin", "20")
        app.wait_state("text:%d" % app.ids["OffsetSpin"], "1")  # only 0 and 1 before a width change
        app.wait_title(self.title_for(1, 1))
        self.widen(app, 8)
        self.assertEqual(app.control_text("OffsetSpin"), "0")
        self.assertEqual(self.offset_spin(app), (0, -8, 8))
        app.type_into("OffsetSpin", "20")
        app.wait_title(self.title_for(8, 8))
        self.assertEqual(app.control_text("OffsetSpin"), "8")
        self.assertEqual(app.control_text("DispField"), "8")
        # The sign typed in front of the digits gives the negative offset.
        self.x.key("Home")
        self.x.type("-")
        app.wait_title(self.title_for(8, -8))
        self.assertEqual(app.control_text("OffsetSpin"), "-8")
        # The text cursor went to the end: a digit typed now comes last.
        self.x.key("BackSpace")
        app.wait_title(self.title_for(8, 0))
        self.assertEqual(app.control_text("OffsetSpin"), "0")  # "-" reads as 0
        self.x.type("5")
        app.wait_title(self.title_for(8, 5))
        self.assertEqual(app.control_text("OffsetSpin"), "5")  # "05"
        # A lone minus sign over the whole text reads as 0.
        app.type_into("OffsetSpin", "-")
        app.wait_title(self.title_for(8, 0))
        self.assertEqual(app.control_text("OffsetSpin"), "0")

    def test_grid_boxes_stay_between_1_and_25(self):
        app = self.start()
        app.click_control("GridCheck")
        app.wait_title(self.title_for(1, 0, grid=(8, 8)))
        text = "text:%d" % app.ids["GridXSpin"]
        app.type_into("GridXSpin", "123")
        app.wait_title(self.title_for(1, 0, grid=(25, 8)))
        self.assertEqual(app.state()[text], "25")
        self.x.key("ctrl+a", "BackSpace")
        app.wait_title(self.title_for(1, 0, grid=(1, 8)))
        self.assertEqual(app.state()[text], "1")
        app.type_into("GridXSpin", "8")
        app.wait_title(self.title_for(1, 0, grid=(8, 8)))
        self.x.key("End")
        self.x.type("1")  # 81
        app.wait_title(self.title_for(1, 0, grid=(25, 8)))
        self.assertEqual(app.state()[text], "25")
        app.type_into("GridYSpin", "0")
        app.wait_title(self.title_for(1, 0, grid=(25, 1)))
        self.assertEqual(app.control_text("GridYSpin"), "1")
        # The arrow buttons step the box.
        app.click_control("GridYSpin", dx=72, dy=4)
        app.wait_title(self.title_for(1, 0, grid=(25, 2)))
        self.assertEqual(app.control_text("GridYSpin"), "2")

    def test_arrow_keys_move_width_and_row(self):
        app = self.start()
        app.key("Left")  # at width 1: nothing
        time.sleep(0.3)
        self.assertEqual(app.title(), self.title_for(1, 0))
        app.key("Right", "Right", "Right")
        app.wait_title(self.title_for(4, 0))
        self.assertEqual(self.offset_spin(app), (0, -4, 4))
        app.key("Left")
        app.wait_title(self.title_for(3, 0))
        self.assertEqual(self.offset_spin(app), (0, -3, 3))
        app.key("Down")  # at row 0: nothing
        time.sleep(0.3)
        self.assertEqual(app.title(), self.title_for(3, 0))
        app.key("Up", "Up")
        app.wait_title(self.title_for(3, 6))
        app.key("Down")
        app.wait_title(self.title_for(3, 3))
        self.assertEqual(app.scroll("RowScroll")[0], 1)
        # Held down, the key repeats and the view keeps moving.
        app.hold_key("Up", 1.5)
        time.sleep(0.3)
        row = app.scroll("RowScroll")[0]
        self.assertGreater(row, 5)
        app.wait_title(self.title_for(3, 3 * row))

    def test_focused_spin_box_steps_and_the_view_moves(self):
        app = self.start()
        app.click_control("GridXSpin", dx=10)
        app.key("Up")
        app.wait_title(self.title_for(1, 1))
        app.wait_state("text:%d" % app.ids["GridXSpin"], "9")
        app.key("Down")
        app.wait_title(self.title_for(1, 0))
        app.wait_state("text:%d" % app.ids["GridXSpin"], "8")
        # Left and Right move the width while the cursor moves in the text.
        app.key("Right")
        app.wait_title(self.title_for(2, 0))
        self.assertEqual(app.control_text("GridXSpin"), "8")

    def test_zoom_items_repaint_the_canvas(self):
        data = bytes((i * 29 + 3) & 0xFF for i in range(200))
        app = self.start(self.fixture("tiles.bin", data))
        for item, zoom in (("x2", 2), ("x8", 8), ("x1", 1)):
            with self.subTest(item=item):
                app.menu(item)
                app.wait_title(self.title_for(1, 0, zoom))
                self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(data, zoom=zoom)))

    def test_open_loads_the_file_typed_into_the_dialog(self):
        data = bytes(range(256)) * 3
        path = self.fixture("sprites.bin", data)
        app = self.start()
        self.widen(app, 4)
        app.menu("Project/Open..")
        app.answer_file_dialog("^Please choose file to load$", os.path.basename(path))  # opens in the working folder
        app.wait_title(self.title_for(1, 0))  # a load sets the width back to 1
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(data)))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 768, 1))
        self.assertEqual(self.offset_spin(app), (0, -4, 4))  # kept by the load
        # A cancelled dialog loads nothing.
        app.menu("Project/Open..")
        app.press_in_dialog("^Please choose file to load$", "Escape")
        time.sleep(0.5)
        self.assertEqual(app.title(), self.title_for(1, 0))
        self.assertEqual(app.scroll("RowScroll"), (0, 0, 768, 1))
        # A name of no file is taken, and empties the view without a message.
        app.menu("Project/Open..")
        app.answer_file_dialog("^Please choose file to load$", "missing.bin")
        wait = harness.wait_until
        wait(lambda: app.scroll("RowScroll") == (0, 0, 0, 0), what="an empty row range")
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(b"")))
        self.assertEqual(self.x.windows("^Information$"), [])

    def test_jump_to_the_typed_displacement(self):
        app = self.start()
        self.widen(app, 16)
        app.type_into("OffsetSpin", "3")
        app.wait_title(self.title_for(16, 3))
        app.type_into("DispField", "1000")
        app.click_control("DispGoButton")
        app.wait_title(self.title_for(16, 995))
        self.assertEqual(app.control_text("DispField"), "995")
        self.assertEqual(app.scroll("RowScroll")[0], 62)

    def test_width_bar_resets_the_offset_and_its_arrows_step_it(self):
        app = self.start()
        app.type_into("OffsetSpin", "1")
        app.wait_title(self.title_for(1, 1))
        app.click_control("WidthScroll", dx=632)  # the right arrow
        app.wait_title(self.title_for(2, 0))
        self.assertEqual(app.control_text("OffsetSpin"), "0")
        self.assertEqual(self.offset_spin(app), (0, -2, 2))
        for _ in range(3):
            app.click_control("OffsetSpin", dx=72, dy=15)  # the down arrow, held at -2
            time.sleep(0.2)
        app.wait_title(self.title_for(2, -2))
        self.assertEqual(app.control_text("OffsetSpin"), "-2")
        app.click_control("RowScroll", dy=462)  # the lower arrow
        app.wait_title(self.title_for(2, 0))
        self.assertEqual(app.scroll("RowScroll")[0], 1)

    def test_check_boxes_repaint(self):
        app = self.start()
        app.click_control("ColumnsCheck")
        time.sleep(0.3)
        canvas = app.wait_idle()
        # 80 columns of 8 pixels, all past the end of no data.
        self.assertEqual(harness.App.pixel(canvas, 100, 0), BLUE)
        self.assertEqual(harness.App.pixel(canvas, 640, 480), BLACK)
        app.click_control("GridCheck")
        app.wait_title(self.title_for(1, 0, grid=(8, 8)))
        canvas = app.wait_idle()
        self.assertEqual(harness.App.pixel(canvas, 8, 100), (255, 0, 0))
        self.assertEqual(harness.App.pixel(canvas, 64, 100), (0, 255, 0))


if __name__ == "__main__":
    harness.main()
