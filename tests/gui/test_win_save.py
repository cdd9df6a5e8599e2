"""vexelor.exe under Wine, the three exports through the real dialogs:
"Save image.." (the canvas on screen as PNG), "Save binary.." (typed count
of bytes) and "Save selected" (numbered files), with the save dialog's
file-type list deciding the extension and the program's own overwrite
question answered Yes and No."""

import os
import time

import harness
import winharness
from harness import wait_until
from test_save_image import assert_png_of_screen
from winharness import winpath

PNG_DIALOG = r"^Save PNG Image AS\.\.\.$"
BIN_DIALOG = r"^Save binary file$"
NAME_FIELD = 0x47C  # the file name box of the save dialog
TYPE_LIST = 0x470  # its file-type list

# A smiley, 8 x 8, at the top left of the canvas at width 1; the bytes after
# it keep the row below the sprite busy.
SPRITE = bytes([0x3C, 0x42, 0xA5, 0x81, 0xA5, 0x99, 0x42, 0x3C])
SPRITE_DATA = SPRITE + bytes((k * 37 + 0x91) & 0xFF for k in range(8, 600))


def file_bytes(path, timeout=10.0):
    """The contents of the file once it has appeared."""
    wait_until(lambda: os.path.isfile(path), timeout, what=path)
    with open(path, "rb") as f:
        return f.read()


def message_text(app, hwnd):
    return [c["text"] for c in app.session.inspector.children(hwnd) if c["id"] == 0xFFFF][0]


class SaveTest(winharness.WinGuiTest):

    def save_dialog(self, app, title, name, pattern=1, proposed=None):
        """Answers the save dialog: picks the file type (1 the first), types
        the name and accepts. Checks the proposed name first when given."""
        dialog = app.dialog(title)
        app.wait_focus_in(dialog)
        self.assertEqual(app.inspect("text", dialog, TYPE_LIST).split("|")[0],
                         {PNG_DIALOG: "PNG Images", BIN_DIALOG: "Binary"}[title])
        if proposed is not None:
            self.assertEqual(app.inspect("text", dialog, NAME_FIELD), proposed)
        if pattern == 2:
            self.x.key("alt+t", "Down")
        self.x.key("alt+n", "Home", "shift+End")
        self.x.type(name)
        self.x.key("Return")
        app.dialog_gone(dialog)

    def question(self, app, title, path, yes):
        """Answers the overwrite question after checking its text."""
        box = app.dialog("^%s$" % title)
        self.assertEqual(message_text(app, box), "Overwrite this file? " + winpath(path))
        app.answer_yes_no("^%s$" % title, yes)

    def assertPngOfScreen(self, path, screen):
        assert_png_of_screen(self, path, screen)

    def test_save_image_names_and_the_overwrite_question(self):
        data = bytes((i * 7919 >> 3 ^ i) & 0xFF for i in range(6000))
        app = self.start(winpath(self.fixture("sprites.bin", data)))
        for _ in range(3):  # width 4
            app.click_control("WidthScroll", dx=632)
        app.click_control("GridCheck", dx=8)
        app.menu("x2")
        app.wait_title("Vexelor, sprsize:4, grid:8x8 disp:0 zoom:2")
        screen = app.wait_idle()
        # Typed name, chosen file type -> the file written.
        cases = [("shot", 1, "shot.png"), ("pic.png", 1, "pic.png.png"), ("plain", 2, "plain")]
        proposed = ""  # the command line does not name the files
        for name, pattern, written in cases:
            with self.subTest(name=name, pattern=pattern):
                app.menu("Project/Save image..")
                self.save_dialog(app, PNG_DIALOG, name, pattern, proposed)
                path = os.path.join(self.dir, written)
                wait_until(lambda: os.path.exists(path), what=written)
                time.sleep(0.2)
                self.assertPngOfScreen(path, screen)
                proposed = written
        self.assertEqual(sorted(os.listdir(self.dir)), ["pic.png.png", "plain", "shot.png", "sprites.bin"])

        # Saving over shot.png asks first: No keeps it, Yes replaces it.
        path = os.path.join(self.dir, "shot.png")
        before = file_bytes(path)
        app.menu("x8")
        app.wait_title("Vexelor, sprsize:4, grid:8x8 disp:0 zoom:8")
        second = app.wait_idle()
        self.assertNotEqual(second, screen)
        app.menu("Project/Save image..")
        self.save_dialog(app, PNG_DIALOG, "shot", 1, "plain")
        self.question(app, "CanvasGadget", path, yes=False)
        time.sleep(0.3)
        self.assertEqual(file_bytes(path), before)
        app.menu("Project/Save image..")
        self.save_dialog(app, PNG_DIALOG, "shot", 1, "shot.png")  # No kept the name
        self.question(app, "CanvasGadget", path, yes=True)
        wait_until(lambda: file_bytes(path) != before, what="the file to be replaced")
        time.sleep(0.2)
        self.assertPngOfScreen(path, second)
        # An empty file in the way is asked about too.
        empty = self.fixture("empty.png", b"")
        app.menu("Project/Save image..")
        self.save_dialog(app, PNG_DIALOG, "empty", 1)
        self.question(app, "CanvasGadget", empty, yes=False)
        self.assertEqual(file_bytes(empty), b"")
        # A cancelled dialog writes nothing and forgets the name.
        app.menu("Project/Save image..")
        dialog = app.press_in_dialog(PNG_DIALOG, "Escape")
        app.dialog_gone(dialog)
        app.menu("Project/Save image..")
        dialog = app.dialog(PNG_DIALOG)
        app.wait_focus_in(dialog)
        self.assertEqual(app.inspect("text", dialog, NAME_FIELD), "")
        self.x.key("Escape")
        app.dialog_gone(dialog)
        self.assertEqual(sorted(os.listdir(self.dir)), ["empty.png", "pic.png.png", "plain", "shot.png", "sprites.bin"])
        self.assertEqual(app.title(), "Vexelor, sprsize:4, grid:8x8 disp:0 zoom:8")
        self.assertTrue(app.running())

    def save_binary(self, app, count, name, pattern=1, proposed=None):
        app.menu("Project/Save binary..")
        box = app.dialog("^Title$")
        app.wait_focus_in(box)
        self.assertIn("0000", [c["text"] for c in app.session.inspector.children(box)])
        self.x.key("Home", "shift+End")
        self.x.type(count)
        self.x.key("Return")
        app.dialog_gone(box)
        self.save_dialog(app, BIN_DIALOG, name, pattern, proposed)

    def test_save_binary_writes_the_typed_count(self):
        data = bytes((i * 37 + 11) & 0xFF for i in range(300))
        app = self.start()
        # Without a file: the message, and no input box.
        app.menu("Project/Save binary..")
        box = app.dialog("^Title$")
        self.assertEqual(message_text(app, box), "1st load file!")
        app.press_in_dialog("^Title$", "Return")
        app.dialog_gone(box)
        time.sleep(0.3)
        self.assertEqual(self.session.windows("^Title$"), [])

        app.drop([self.fixture("game.rom", data)])
        app.wait_state("scroll:%d" % app.ids["RowScroll"], "0,0,300,0")
        for _ in range(3):  # width 4
            app.click_control("WidthScroll", dx=632)
        for _ in range(2):  # row 2
            app.click_control("RowScroll", dy=463)
        app.click_control("OffsetSpin", dx=10)
        # Each keystroke is taken at once and the number written back: a
        # lone "-" would become "0", so the sign goes in front afterwards.
        self.x.key("Home", "shift+End", "2", "Home", "minus")
        app.wait_title("Vexelor, sprsize:4 disp:6 zoom:1")

        self.save_binary(app, "10", "cut", 1, "game.rom")
        self.assertEqual(file_bytes(os.path.join(self.dir, "cut.bin")), data[6:16])
        app.click_control("InvertCheck", dx=8)
        wait_until(lambda: app.checked("InvertCheck"), what="Invert checked")
        self.save_binary(app, "$10", "inv.dat", 2, "game.rom")  # the name stays as typed
        self.assertEqual(file_bytes(os.path.join(self.dir, "inv.dat")), bytes(255 - b for b in data[6:22]))
        # Over an existing file: No keeps it, Yes replaces it.
        cut = os.path.join(self.dir, "cut.bin")
        self.save_binary(app, "4", "cut", 1)
        self.question(app, "save binary", cut, yes=False)
        time.sleep(0.3)
        self.assertEqual(file_bytes(cut), data[6:16])
        self.save_binary(app, "4", "cut", 1)
        self.question(app, "save binary", cut, yes=True)
        wait_until(lambda: file_bytes(cut) == bytes(255 - b for b in data[6:10]), what="cut.bin replaced")
        # A count below 1 stops before the save dialog.
        app.menu("Project/Save binary..")
        box = app.dialog("^Title$")
        app.press_in_dialog("^Title$", "Return")  # the untouched "0000"
        app.dialog_gone(box)
        time.sleep(0.5)
        self.assertEqual(self.session.windows(BIN_DIALOG), [])
        self.assertEqual(sorted(os.listdir(self.dir)), ["cut.bin", "game.rom", "inv.dat"])

    def select_sprite(self, app):
        self.assertFalse(app.menu_enabled("Save selected"))
        app.drag_canvas([(0, 0), (3, 4), (7, 7)])
        # 7 cells wide: no whole byte shown, yet the export samples 8 columns.
        app.wait_state("status", "x:0 y:0 w:0 h:7")
        self.assertTrue(app.menu_enabled("Save selected"))

    def test_save_selected_writes_numbered_files(self):
        rom = self.fixture("game.rom", SPRITE_DATA)
        app = self.start()
        app.drop([rom])
        app.wait_state("scroll:%d" % app.ids["RowScroll"], "0,0,%d,1" % len(SPRITE_DATA))
        app.menu("Save selected")  # greyed: the click does nothing
        time.sleep(0.5)
        self.assertEqual(os.listdir(self.dir), ["game.rom"])
        self.select_sprite(app)
        app.menu("Save selected")
        self.assertEqual(file_bytes(rom + ".000"), SPRITE)
        # With the grid on the second export still holds the sprite, and the
        # grid is shown again afterwards.
        app.click_control("GridCheck", dx=8)
        app.wait_title("Vexelor, sprsize:1, grid:8x8 disp:0 zoom:1")
        app.menu("Save selected")
        self.assertEqual(file_bytes(rom + ".001"), SPRITE)
        app.wait_idle()
        self.assertTrue(app.checked("GridCheck"))
        self.assertEqual(app.pixel(app.canvas(), 8, 20), (255, 0, 0))  # a grid line
        self.assertEqual(app.status(), "x:0 y:0 w:0 h:7")
        # After "Save image.." the files are named after the image.
        app.menu("Project/Save image..")
        self.save_dialog(app, PNG_DIALOG, "shot", 1, "game.rom")
        wait_until(lambda: os.path.exists(os.path.join(self.dir, "shot.png")), what="shot.png")
        app.menu("Save selected")
        self.assertEqual(file_bytes(os.path.join(self.dir, "shot.png.000")), SPRITE)
        self.assertEqual(sorted(os.listdir(self.dir)),
                         ["game.rom", "game.rom.000", "game.rom.001", "shot.png", "shot.png.000"])

    def test_command_line_file_names_the_selection_files_from_the_working_folder(self):
        rom = self.fixture("game.rom", SPRITE_DATA)
        app = self.start("game.rom")
        self.select_sprite(app)
        app.menu("Save selected")
        self.assertEqual(file_bytes(os.path.join(self.dir, ".000")), SPRITE)
        self.assertFalse(os.path.exists(rom + ".000"))


if __name__ == "__main__":
    winharness.main()
