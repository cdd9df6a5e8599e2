""""Save binary.." in the real program: a typed count of bytes from the first
byte shown, inverted while "Invert" is checked, under the typed name."""

import os
import time

import harness
from harness import wait_until
from save_dialogs import answer_save_dialog, focus_dialog, type_in_dialog


class SaveBinaryTest(harness.GuiTest):

    def export(self, app, count, name):
        app.menu("Project/Save binary..")
        type_in_dialog(app, "^Title$", count, "Return")  # replaces the selected "0000"
        answer_save_dialog(app, "^Save binary file", name)

    def test_typed_count_from_the_first_byte_shown(self):
        data = bytes((i * 37 + 11) & 0xFF for i in range(300))
        app = self.start(self.fixture("game.rom", data))
        for _ in range(3):  # width 4
            app.click_control("WidthScroll", dx=632)
        for _ in range(2):  # row 2
            app.click_control("RowScroll", dy=463)
        app.click_control("OffsetSpin", dx=10)
        # Each keystroke is taken at once and the number written back: a
        # lone "-" would become "0", so the sign goes in front afterwards.
        self.x.key("ctrl+a", "2", "Home", "minus")
        app.wait_title("Vexelor, sprsize:4 disp:6 zoom:1")

        self.export(app, "10", "cut")
        path = os.path.join(self.dir, "cut.bin")
        wait_until(lambda: os.path.exists(path), what="cut.bin")
        self.assertEqual(open(path, "rb").read(), data[6:16])

        app.click_control("InvertCheck")
        self.export(app, "$10", "inv")
        path = os.path.join(self.dir, "inv.bin")
        wait_until(lambda: os.path.exists(path), what="inv.bin")
        self.assertEqual(open(path, "rb").read(), bytes(255 - b for b in data[6:22]))
        self.assertEqual(sorted(os.listdir(self.dir)), ["cut.bin", "game.rom", "inv.bin"])

    def test_count_below_one_stops_before_the_dialog(self):
        app = self.start(self.fixture("game.rom", bytes(range(64))))
        app.menu("Project/Save binary..")
        box = focus_dialog(app, "^Title$")
        self.assertEqual(self.x.geometry(box)[3], 105)  # the input box, with its field
        self.x.key("Return")  # the untouched "0000"
        wait_until(lambda: self.x.window_gone(box), what="the input box to close")
        time.sleep(0.5)
        self.assertEqual(self.x.windows("^Save binary file"), [])
        self.assertEqual(os.listdir(self.dir), ["game.rom"])

    def test_without_a_file_asks_to_load_one(self):
        app = self.start()
        app.menu("Project/Save binary..")
        message = focus_dialog(app, "^Title$")
        # The message window is one line and a button high; the input box,
        # titled alike, also has its field.
        self.assertEqual(self.x.geometry(message)[3], 90)
        self.x.key("Return")
        wait_until(lambda: self.x.window_gone(message), what="the message to close")
        time.sleep(0.5)
        self.assertEqual(self.x.windows("^Title$"), [])  # no input box follows
        self.assertEqual(os.listdir(self.dir), [])


if __name__ == "__main__":
    harness.main()
