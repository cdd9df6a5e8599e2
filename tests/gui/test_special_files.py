"""Pipes and devices chosen or dropped as data files in a real X server: the
window never stops answering, and they load as empty files do."""

import os

import harness


class SpecialFilesTest(harness.GuiTest):

    def title_for(self, width, zoom=1):
        return "Vexelor, sprsize:%d disp:0 zoom:%d" % (width, zoom)

    def start_widened(self):
        """The viewer on a file with bytes, the width moved to 4, so that a
        load shows in the title."""
        app = self.start(self.fixture("data.bin", bytes(range(256)) * 4))
        app.key("Right", "Right", "Right")
        app.wait_title(self.title_for(4))
        return app

    def assertStillAnswers(self, app):
        """The load emptied the view as an empty file does, without a message,
        and a later zoom click is handled."""
        app.wait_title(self.title_for(1))
        harness.wait_until(lambda: app.scroll("RowScroll") == (0, 0, 0, 0), what="an empty row range")
        app.menu("x2")
        app.wait_title(self.title_for(1, zoom=2))
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(b"", zoom=2)))
        self.assertEqual(self.x.windows("^Information$"), [])
        self.assertIsNone(app.proc.poll())

    def test_pipe_chosen_in_open(self):
        os.mkfifo(os.path.join(self.dir, "pipe"))
        app = self.start_widened()
        app.menu("Project/Open..")
        app.answer_file_dialog("^Please choose file to load$", "pipe")  # opens in the working folder
        self.assertStillAnswers(app)

    def test_pipe_and_device_dropped(self):
        fifo = os.path.join(self.dir, "dropped pipe")
        os.mkfifo(fifo)
        for path in (fifo, "/dev/zero"):
            with self.subTest(path=path):
                app = self.start_widened()
                app.drop([path])
                self.assertStillAnswers(app)
                app.request_close()
                self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    harness.main()
