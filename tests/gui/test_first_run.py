"""A newcomer's first run: the viewer started as scripts/run.sh starts it, and
data files named by relative paths from other folders."""

import os

import harness


class FirstRunTest(harness.GuiTest):

    def assertCanvas(self, app, expected):
        self.assertIsNone(harness.first_difference(app.wait_idle(), expected))

    def test_run_script_shows_the_sample(self):
        # scripts/run.sh: from the checkout's root, `build/vexelor samples/sprites.bin`.
        with open(os.path.join(harness.SOURCE, "samples", "sprites.bin"), "rb") as f:
            data = f.read()
        binary = os.path.relpath(harness.VEXELOR, harness.SOURCE)
        if binary.startswith(".."):  # a build folder outside the checkout
            binary = harness.VEXELOR
        app = self.start("samples/sprites.bin", binary=binary, cwd=harness.SOURCE)
        self.assertEqual(app.scroll("RowScroll"), (0, 0, len(data), len(data) // 481))
        self.assertCanvas(app, harness.picture(data))

    def test_relative_paths_from_other_folders(self):
        for sub in ("a", "a/sub", "c/d"):
            os.makedirs(os.path.join(self.dir, sub))
        data = bytes((i * 29 + 3) & 0xFF for i in range(700))
        deep = bytes((i * 113) >> 2 & 0xFF for i in range(1500))
        self.fixture("a/b.bin", data)
        self.fixture("a/sub/b.bin", deep)
        cases = [  # (folder started from, argument, bytes expected)
            ("", "a/b.bin", data),
            ("a", "./b.bin", data),
            ("a", "b.bin", data),
            ("c/d", "../../a/b.bin", data),
            ("c", "../a/sub/b.bin", deep),
        ]
        for start, arg, expected in cases:
            with self.subTest(start=start, arg=arg):
                app = self.start(arg, cwd=os.path.join(self.dir, start))
                self.assertEqual(app.scroll("RowScroll")[2], len(expected))
                self.assertCanvas(app, harness.picture(expected))
                app.request_close()
                self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    harness.main()
