""""Save selected" in a real X server: a dragged rectangle over a sprite is
written as packed bit rows to numbered files named after the loaded file."""

import os
import time

import harness
from harness import wait_until

# A smiley, 8 x 8, at the top left of the canvas at width 1; the bytes after
# it keep the row below the sprite busy.
SPRITE = bytes([0x3C, 0x42, 0xA5, 0x81, 0xA5, 0x99, 0x42, 0x3C])
DATA = SPRITE + bytes((k * 37 + 0x91) & 0xFF for k in range(8, 600))


def file_bytes(path, timeout=10.0):
    """The contents of the file once it has appeared."""
    wait_until(lambda: os.path.isfile(path), timeout, what=path)
    with open(path, "rb") as f:
        return f.read()


class SaveSelectedTest(harness.GuiTest):

    def select_sprite(self, app):
        self.assertFalse(app.menu_enabled("Save selected"))
        app.drag_canvas([(0, 0), (3, 4), (7, 7)])
        # 7 cells wide: no whole byte shown, yet the export samples 8 columns.
        app.wait_state("status", "x:0 y:0 w:0 h:7")
        self.assertTrue(app.menu_enabled("Save selected"))

    def test_dropped_file_selection_goes_to_numbered_files(self):
        rom = self.fixture("game.rom", DATA)
        app = self.start()
        app.drop([rom])
        app.wait_state("scroll:%d" % app.ids["RowScroll"], "0,0,%d,1" % len(DATA))
        self.select_sprite(app)

        app.menu("Save selected")
        self.assertEqual(file_bytes(rom + ".000"), SPRITE)

        # With the grid on the second export still holds the sprite, and
        # the grid is shown again afterwards.
        app.click_control("GridCheck", dx=8)
        app.wait_title("Vexelor, sprsize:1, grid:8x8 disp:0 zoom:1")
        app.menu("Save selected")
        self.assertEqual(file_bytes(rom + ".001"), SPRITE)
        app.wait_idle()
        self.assertEqual(app.title(), "Vexelor, sprsize:1, grid:8x8 disp:0 zoom:1")
        self.assertEqual(app.pixel(app.canvas(), 8, 20), (255, 0, 0))  # a grid line
        self.assertEqual(app.status(), "x:0 y:0 w:0 h:7")
        self.assertTrue(app.menu_enabled("Save selected"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["game.rom", "game.rom.000", "game.rom.001"])

    def test_command_line_file_names_the_files_from_the_working_directory(self):
        rom = self.fixture("game.rom", DATA)
        app = self.start(rom)
        self.select_sprite(app)
        app.menu("Save selected")
        self.assertEqual(file_bytes(os.path.join(self.dir, ".000")), SPRITE)
        self.assertFalse(os.path.exists(rom + ".000"))

    def test_folder_in_the_way_is_reported(self):
        rom = self.fixture("game.rom", DATA)
        os.mkdir(rom + ".000")
        app = self.start()
        app.drop([rom])
        app.wait_state("scroll:%d" % app.ids["RowScroll"], "0,0,%d,1" % len(DATA))
        self.select_sprite(app)
        app.menu("Save selected")
        app.press_in_dialog("^Save selected$", "Return")
        wait_until(lambda: not self.x.windows("^Save selected$"), what="the message to close")
        self.assertEqual(os.listdir(rom + ".000"), [])
        self.assertEqual(sorted(os.listdir(self.dir)), ["game.rom", "game.rom.000"])
        # The viewer goes on: once the folder is gone the export works.
        os.rmdir(rom + ".000")
        time.sleep(0.2)
        app.menu("Save selected")
        self.assertEqual(file_bytes(rom + ".000"), SPRITE)


if __name__ == "__main__":
    harness.main()
