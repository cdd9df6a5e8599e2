"""Drives the real Vexelor programs in an X server of the test's own.

Each test script starts one Xvfb (XServer), launches a program in it (App),
and reads back what a user would see: the window title, the canvas pixels,
the texts the window publishes in its _VEXELOR_STATE property (status bar,
menu item states and places, control texts), and the files written.

Python standard library only; xdotool, ImageMagick's import and xprop do
the X work, tests/gui/xsend.c sends drops and close requests.
"""

import ast
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

VEXELOR = os.environ.get("VEXELOR_BIN", "vexelor")
VEXELOR_JPEG = os.environ.get("VEXELOR_JPEG_BIN", "vexelor-jpeg")
XSEND = os.environ.get("XSEND_BIN", "xsend")
SOURCE = os.environ.get("VEXELOR_SOURCE", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))

CANVAS_W, CANVAS_H = 641, 481
MENU_HEIGHT = 25  # the canvas starts below the menu bar

# Where controls sit in the window's inner area, below the menu bar:
# (x, y, w, h) as laid out by the viewer.
PLACES = {
    "WidthScroll": (0, 500, 640, 17),
    "RowScroll": (641, 0, 14, 470),
    "GridCheck": (0, 520, 80, 20),
    "InvertCheck": (0, 540, 80, 20),
    "ColumnsCheck": (80, 520, 80, 20),
    "AlignCheck": (80, 540, 80, 20),
    "OffsetSpin": (240, 520, 80, 20),
    "GridXSpin": (400, 520, 80, 20),
    "GridYSpin": (400, 540, 80, 20),
    "DispField": (240, 540, 80, 20),
    "DispGoButton": (320, 540, 20, 20),
}

# Toolkit ids of the controls in each program (what _VEXELOR_STATE names them by).
IDS_FULL = {"CanvasView": 0, "RowScroll": 1, "WidthScroll": 2, "GridCheck": 3, "ColumnsCheck": 4,
            "OffsetSpin": 6, "GridXSpin": 8, "GridYSpin": 10, "InvertCheck": 11, "AlignCheck": 12,
            "DispField": 14}
IDS_COMPACT = {"CanvasView": 0, "RowScroll": 1, "WidthScroll": 2, "GridCheck": 4, "ColumnsCheck": 5,
               "OffsetSpin": 7, "GridXSpin": 9, "GridYSpin": 11, "InvertCheck": 12, "AlignCheck": 14}

# Items of the "Project" drop-down, in order.
PROJECT_ITEMS = ["Open..", "Save image..", "Save binary..", "Quit"]


BLACK, WHITE, BLUE, SELECTION = (0, 0, 0), (255, 255, 255), (0, 0, 255), (127, 0, 255)


def picture(data, width=1, zoom=1, shift=0):
    """The canvas for data shown from its first byte in one column, no grid
    and no selection; positions past the data are blue. shift moves the
    cells right (the compact viewer's picture starts at x = 1)."""
    cell = 7 if zoom == 8 else zoom
    out = bytearray(CANVAS_W * CANVAS_H * 3)
    for r in range(480 // zoom + 1):
        for j in range(width):
            pos = r * width + j
            for k in range(8):
                if pos >= len(data):
                    colour = BLUE
                elif data[pos] & (0x80 >> k):
                    colour = WHITE
                else:
                    continue
                x0, y0 = shift + (j * 8 + k) * zoom, r * zoom
                if x0 >= CANVAS_W:
                    break
                for y in range(y0, min(y0 + cell, CANVAS_H)):
                    i = (y * CANVAS_W + x0) * 3
                    out[i:i + 3 * min(cell, CANVAS_W - x0)] = bytes(colour) * min(cell, CANVAS_W - x0)
    return bytes(out)


def empty_view(width, box=None):
    """The canvas with nothing loaded at zoom 1 (a blue band of width bytes),
    with the selection box (x, y, w, h) showing where the band leaves black."""
    out = bytearray(CANVAS_W * CANVAS_H * 3)
    band = min(width * 8, CANVAS_W)
    for y in range(CANVAS_H):
        for x in range(CANVAS_W):
            colour = BLUE if x < band else None
            if colour is None and box and box[0] <= x < box[0] + box[2] and box[1] <= y < box[1] + box[3]:
                colour = SELECTION
            if colour:
                i = (y * CANVAS_W + x) * 3
                out[i:i + 3] = bytes(colour)
    return bytes(out)


def first_difference(actual, expected):
    """Where two canvases first differ, as a sentence; None when equal."""
    for i in range(0, len(expected), 3):
        if actual[i:i + 3] != expected[i:i + 3]:
            p = i // 3
            return "pixel (%d, %d) is %s, expected %s" % (p % CANVAS_W, p // CANVAS_W,
                                                         tuple(actual[i:i + 3]), tuple(expected[i:i + 3]))
    return None


def wait_until(predicate, timeout=10.0, interval=0.05, what="condition"):
    """Polls until predicate() is truthy; returns its value or raises."""
    end = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


def parse_state(text):
    """The published state text ("key=value" lines) as a dict."""
    result = {}
    for line in text.split("\n"):
        if "=" in line:
            k, v = line.split("=", 1)
            result[k] = v
    return result


class XServer:
    """An Xvfb of the test's own on a free display number."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)

    def run(self, *args, check=True, input=None):
        """Runs an X client command on this display; returns its stdout."""
        r = subprocess.run(list(args), env=self.env, capture_output=True, input=input, timeout=30)
        if check and r.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(args), r.stderr.decode(errors="replace")))
        return r.stdout.decode(errors="replace")

    def windows(self, name_regex):
        """Ids of the visible windows whose titles match."""
        return self.run("xdotool", "search", "--onlyvisible", "--name", name_regex, check=False).split()

    def find_window(self, name_regex, timeout=10.0, exclude=()):
        """The id of a visible window whose title matches (and that is not
        one of exclude), waiting for it."""
        def look():
            out = [w for w in self.windows(name_regex) if w not in exclude]
            return out[-1] if out else None
        return wait_until(look, timeout, what="window " + name_regex)

    def window_gone(self, wid):
        r = subprocess.run(["xdotool", "getwindowname", wid], env=self.env, capture_output=True)
        if r.returncode != 0:
            return True
        visible = self.run("xdotool", "search", "--onlyvisible", "--name", ".*", check=False).split()
        return wid not in visible

    def geometry(self, wid):
        out = self.run("xdotool", "getwindowgeometry", "--shell", wid)
        g = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])

    def grab(self, x, y, w, h):
        """Raw RGB bytes of a screen rectangle."""
        r = subprocess.run(["import", "-silent", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                            "-depth", "8", "rgb:-"], env=self.env, capture_output=True, timeout=30)
        if r.returncode != 0 or len(r.stdout) != w * h * 3:
            raise RuntimeError("screenshot failed: " + r.stderr.decode(errors="replace"))
        return r.stdout

    def save_screenshot(self, path):
        subprocess.run(["import", "-silent", "-window", "root", path], env=self.env, timeout=30)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "30", *keys)

    def type(self, text):
        self.run("xdotool", "type", "--delay", "30", text)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()


class App:
    """One run of a program in the X server."""

    def __init__(self, x, binary=VEXELOR, args=(), cwd=None, title="^Vexelor"):
        self.x = x
        self.compact = os.path.basename(binary) == os.path.basename(VEXELOR_JPEG)
        self.ids = IDS_COMPACT if self.compact else IDS_FULL
        self.home = tempfile.mkdtemp(prefix="vexelor-home-")
        self.cwd = cwd or self.home
        env = dict(x.env, HOME=self.home)
        self.log = open(os.path.join(self.home, "output.log"), "wb")
        earlier = set(x.windows(title))  # windows of programs that are ending
        self.proc = subprocess.Popen([binary] + list(args), cwd=self.cwd, env=env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        self.wid = x.find_window(title, exclude=earlier)
        self.wait_idle()

    # --- reading -------------------------------------------------------------

    def title(self):
        return self.x.run("xdotool", "getwindowname", self.wid).rstrip("\n")

    def state(self):
        """The window's published texts as a dict (status, menu:..., text:N, ...)."""
        out = self.x.run("xprop", "-notype", "-id", self.wid, "_VEXELOR_STATE", check=False)
        m = re.search(r'=\s*(".*")\s*$', out, re.S)
        if not m:
            return {}
        return parse_state(ast.literal_eval(m.group(1)))

    def status(self):
        return self.state().get("status")

    def control_text(self, name):
        return self.state().get("text:%d" % self.ids[name])

    def scroll(self, name):
        """(position, minimum, maximum, page) of a scroll bar."""
        return tuple(int(v) for v in self.state()["scroll:%d" % self.ids[name]].split(","))

    def menu_enabled(self, path):
        return self.state().get("menu:" + path) == "on"

    def origin(self):
        gx, gy, _, _ = self.x.geometry(self.wid)
        return gx, gy

    def canvas(self):
        """The canvas as 641 x 481 RGB bytes, as the screen shows it."""
        gx, gy = self.origin()
        return self.x.grab(gx, gy + MENU_HEIGHT, CANVAS_W, CANVAS_H)

    @staticmethod
    def pixel(canvas, x, y):
        i = (y * CANVAS_W + x) * 3
        return tuple(canvas[i:i + 3])

    def wait_title(self, expected, timeout=10.0):
        """Waits for the title to equal the text (or match a compiled regex)."""
        def ok():
            t = self.title()
            return t if (expected.search(t) if hasattr(expected, "search") else t == expected) else None
        try:
            return wait_until(ok, timeout, what="title %r" % (expected,))
        except AssertionError:
            raise AssertionError("title is %r, waited for %r" % (self.title(), expected))

    def wait_state(self, key, value, timeout=10.0):
        try:
            return wait_until(lambda: self.state().get(key) == value, timeout, what="%s=%s" % (key, value))
        except AssertionError:
            raise AssertionError("%s is %r, waited for %r" % (key, self.state().get(key), value))

    def wait_idle(self, settle=0.15):
        """Lets pending repaints reach the screen: waits until two screenshots agree."""
        previous = None
        end = time.time() + 5
        while time.time() < end:
            time.sleep(settle)
            now = self.canvas()
            if now == previous:
                return now
            previous = now
        return previous

    # --- acting --------------------------------------------------------------

    def screen_point(self, x, y):
        """Screen position of a point in the window's inner area (menu bar included)."""
        gx, gy = self.origin()
        return gx + x, gy + y

    def point_in_control(self, name, dx=None, dy=None):
        """Window point inside a control (its centre unless offsets are given)."""
        x, y, w, h = PLACES[name]
        return x + (w // 2 if dx is None else dx), MENU_HEIGHT + y + (h // 2 if dy is None else dy)

    def move(self, wx, wy):
        sx, sy = self.screen_point(wx, wy)
        self.x.run("xdotool", "mousemove", str(sx), str(sy))

    def click(self, wx, wy, button=1):
        """Clicks at a point of the window's inner area (menu bar included)."""
        self.move(wx, wy)
        self.x.run("xdotool", "click", str(button))

    def click_canvas(self, cx, cy, button=1):
        self.click(cx, cy + MENU_HEIGHT, button)

    def click_control(self, name, dx=None, dy=None, button=1):
        self.click(*self.point_in_control(name, dx, dy), button=button)

    def drag(self, points, button=1, pause=0.05):
        """Presses at the first window point, moves through the rest, releases at the last."""
        self.move(*points[0])
        self.x.run("xdotool", "mousedown", str(button))
        for p in points[1:]:
            time.sleep(pause)
            self.move(*p)
        time.sleep(pause)
        self.x.run("xdotool", "mouseup", str(button))

    def drag_canvas(self, points, button=1, pause=0.05):
        self.drag([(x, y + MENU_HEIGHT) for x, y in points], button, pause)

    def menu(self, path):
        """Chooses a menu item: "x2", "Save selected" or "Project/Save image..".

        Items on the bar are clicked; drop-down items are reached with the
        keyboard once the drop-down is open.
        """
        top, _, item = path.partition("/")
        box = self.state().get("menubox:" + top)
        if not box:
            raise AssertionError("no menu " + top)
        bx, by, bw, bh = (int(v) for v in box.split(","))
        self.click(bx + bw // 2, by + bh // 2)
        if item:
            time.sleep(0.3)  # let the drop-down open
            self.x.key(*(["Down"] * (PROJECT_ITEMS.index(item) + 1) + ["Return"]))

    def key(self, *keys):
        """Types keys into the window: the pointer is moved over it first."""
        self.move(330, 300)
        self.x.key(*keys)

    def hold_key(self, key, seconds=0.1):
        self.move(330, 300)
        self.x.run("xdotool", "keydown", key)
        time.sleep(seconds)
        self.x.run("xdotool", "keyup", key)

    def type_into(self, name, text, select_all=True):
        """Clicks into a text control, replaces (or extends) its text by typing."""
        self.click_control(name, dx=10)
        if select_all:
            self.x.key("ctrl+a")
        self.x.type(text)

    def drop(self, paths, wx=300, wy=200):
        """Drops files on the window at a window point."""
        r = subprocess.run([XSEND, "drop", self.wid, str(wx), str(wy)] + list(paths), env=self.x.env,
                           capture_output=True, timeout=30)
        if r.returncode != 0:
            raise RuntimeError("drop failed: " + r.stderr.decode(errors="replace"))

    def request_close(self):
        """The close box: the window manager's close request."""
        subprocess.run([XSEND, "close", self.wid], env=self.x.env, check=True, timeout=30)

    def wait_exit(self, timeout=10.0):
        return self.proc.wait(timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(5)
        self.log.close()
        shutil.rmtree(self.home, ignore_errors=True)

    # --- dialogs -------------------------------------------------------------

    def dialog(self, title_regex, timeout=10.0):
        """Waits for a dialog window (by title) and returns its id."""
        return self.x.find_window(title_regex, timeout)

    def answer_file_dialog(self, title_regex, name):
        """Types a base name into a file chooser and accepts it with Return."""
        wid = self.dialog(title_regex)
        gx, gy, w, h = self.x.geometry(wid)
        self.x.run("xdotool", "mousemove", str(gx + w // 2), str(gy + h // 2))
        time.sleep(0.2)
        self.x.key("ctrl+a")
        self.x.type(name)
        self.x.key("Delete", "Return")
        return wid

    def press_in_dialog(self, title_regex, *keys):
        wid = self.dialog(title_regex)
        gx, gy, w, h = self.x.geometry(wid)
        self.x.run("xdotool", "mousemove", str(gx + w // 2), str(gy + h // 2))
        time.sleep(0.1)
        self.x.key(*keys)
        return wid


class GuiTest(unittest.TestCase):
    """Base class: one X server for the whole test class, a fresh folder per test."""

    binary = VEXELOR

    @classmethod
    def setUpClass(cls):
        cls.x = XServer()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vexelor-gui-")
        self.apps = []

    def tearDown(self):
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = bool(result) and any(test is self for test, _ in result.errors + result.failures)
        if failed:
            shot = os.path.join(tempfile.gettempdir(), "vexelor-failure-%s.png" % self.id().split(".")[-1])
            self.x.save_screenshot(shot)
            sys.stderr.write("screenshot of the failure: %s\n" % shot)
        for app in self.apps:
            app.kill()
        shutil.rmtree(self.dir, ignore_errors=True)

    def start(self, *args, binary=None, cwd=None):
        app = App(self.x, binary or self.binary, args, cwd=cwd or self.dir)
        self.apps.append(app)
        return app

    def fixture(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path


def main():
    unittest.main(verbosity=2)
