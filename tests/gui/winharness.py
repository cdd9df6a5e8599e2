"""Drives the Windows programs (vexelor.exe, vexelor-jpeg.exe) under Wine in
an X server of the test's own, the way harness.py drives the Linux ones.

One Wine prefix serves a whole test run: it is made once (wineboot, then
Managed=N so that Wine draws the frames and owns the focus without a window
manager) and marked as made; later test files reuse it. Each test file
starts its own Xvfb and keeps a wineserver up while it runs, so that a
program starts in about half a second.

The eyes are tests/gui/wininspect.c, a small Win32 console program run in
the same prefix that answers requests on a pipe: window texts, the status
bar, control values, check states, places on the screen. Screenshots,
pointer and keys go through the X server as on Linux (Wine's screen
coordinates are the X root coordinates); drops and close requests through
tests/gui/xsend.c.

Environment: VEXELOR_EXE and VEXELOR_JPEG_EXE name the programs;
VEXELOR_WINEPREFIX the prefix (default: a folder in the temporary folder);
WININSPECT_EXE and XSEND_BIN the tools, built here into a folder beside the
prefix when not given.
"""

import contextlib
import fcntl
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import harness
from harness import CANVAS_H, CANVAS_W, IDS_COMPACT, IDS_FULL, MENU_HEIGHT, PROJECT_ITEMS, wait_until

VEXELOR_EXE = os.environ.get("VEXELOR_EXE", "")
VEXELOR_JPEG_EXE = os.environ.get("VEXELOR_JPEG_EXE", "")
PREFIX = os.path.abspath(os.environ.get("VEXELOR_WINEPREFIX") or
                         os.path.join(tempfile.gettempdir(), "vexelor-wineprefix-%d" % os.getuid()))
TOOLS = PREFIX + "-tools"
GUI_SOURCE = os.path.dirname(os.path.abspath(__file__))

# Control ids of the Windows back end: 1000 + the toolkit id; the up-down
# arrows of a spin box 2000 + its toolkit id.
CONTROL, UPDOWN = 1000, 2000
IDYES, IDNO = 6, 7  # the buttons of a Yes/No message box


def winpath(path):
    """The Windows name (drive Z:) of an absolute host path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(**extra):
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win64")
    env.update(extra)
    return env


@contextlib.contextmanager
def locked(path):
    """An exclusive lock on a file, for the time of the with block."""
    with open(path, "a") as f:
        fcntl.flock(f, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(f, fcntl.LOCK_UN)


def _build(output, source, command):
    """Builds a tool unless an up-to-date one is there."""
    if os.path.exists(output) and os.path.getmtime(output) >= os.path.getmtime(source):
        return output
    partial = output + ".part"
    subprocess.run(command + ["-o", partial], check=True, timeout=120)
    os.replace(partial, output)
    return output


def prepare():
    """Makes the prefix once and builds the tools that are not given.
    Returns (inspector, xsend) paths."""
    os.makedirs(os.path.dirname(PREFIX), exist_ok=True)
    with locked(PREFIX + ".lock"):
        marker = os.path.join(PREFIX, ".vexelor-ready")  # the same marker and lock as tests/win/wine-run.sh
        if not os.path.exists(marker):
            shutil.rmtree(PREFIX, ignore_errors=True)  # left half-made by an interrupted run
            env = wine_env()
            env.pop("DISPLAY", None)
            quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
            subprocess.run(["wine", "wineboot", "-i"], check=True, timeout=600, **quiet)
            # Without a window manager: Wine draws the frames itself and owns the
            # focus, and closing a window takes no extra two seconds.
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N",
                            "/f"], check=True, timeout=120, **quiet)
            subprocess.run(["wineserver", "-w"], timeout=120, env=env)
            open(marker, "w").close()
        os.makedirs(TOOLS, exist_ok=True)
        inspector = os.environ.get("WININSPECT_EXE") or _build(
            os.path.join(TOOLS, "wininspect.exe"), os.path.join(GUI_SOURCE, "wininspect.c"),
            ["x86_64-w64-mingw32-gcc", "-O1", "-s", os.path.join(GUI_SOURCE, "wininspect.c"), "-luser32"])
        xsend = os.environ.get("XSEND_BIN") or _build(
            os.path.join(TOOLS, "xsend"), os.path.join(GUI_SOURCE, "xsend.c"),
            ["cc", "-O1", os.path.join(GUI_SOURCE, "xsend.c"), "-lX11"])
    return inspector, xsend


class InspectError(RuntimeError):
    pass


def _unescape(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


class Inspector:
    """The running wininspect: one request, one answer line."""

    def __init__(self, exe, env):
        self.proc = subprocess.Popen(["wine", exe, "serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=env)

    def ask(self, *words):
        """The answer's text; raises InspectError on "err"."""
        line = " ".join('"%s"' % w if " " in str(w) else str(w) for w in words) + "\n"
        self.proc.stdin.write(line.encode())
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().decode("utf-8", errors="replace").rstrip("\r\n")
        if not answer:
            raise InspectError("the inspector ended")
        if answer.startswith("ok "):
            return _unescape(answer[3:])
        raise InspectError(" ".join(map(str, words)) + ": " + answer)

    def windows(self):
        """Visible top-level windows as (handle, class, title)."""
        out = self.ask("list")
        result = []
        for entry in out.split("\n") if out else []:
            hwnd, cls, title = entry.split("\t", 2)
            result.append((int(hwnd), cls, title))
        return result

    def children(self, hwnd):
        """Child windows as dicts: hwnd, id, cls, rect (l, t, r, b), style, text."""
        out = self.ask("children", hwnd)
        result = []
        for entry in out.split("\n") if out else []:
            h, cid, cls, rect, style, text = entry.split("\t", 5)
            result.append(dict(hwnd=int(h), id=int(cid), cls=cls, rect=tuple(int(v) for v in rect.split(",")),
                               style=int(style, 16), text=text))
        return result

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.close()
                self.proc.wait(5)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait(5)
        self.proc.stdout.close()


class WineSession:
    """An Xvfb, a wineserver kept up for the prefix, and the inspector."""

    def __init__(self):
        self.inspector_exe, self.xsend = prepare()
        # One test file at a time uses the prefix: its wineserver and desktop
        # belong to this file's X server.
        self.lock = open(PREFIX + ".session", "a")
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        self.x = harness.XServer()
        self.env = wine_env(DISPLAY=self.x.display)
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env)
        # Kept away from this script's output, which the test runner reads to its end.
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.inspector = Inspector(self.inspector_exe, self.env)

    def windows(self, title_regex, cls=None):
        """Handles of the visible top-level windows whose titles match."""
        return [h for h, c, t in self.inspector.windows()
                if re.search(title_regex, t) and (cls is None or c == cls)]

    def find_window(self, title_regex, timeout=10.0, exclude=(), cls=None):
        def look():
            out = [h for h in self.windows(title_regex, cls) if h not in exclude]
            return out[-1] if out else None
        return wait_until(look, timeout, what="window " + title_regex)

    def alive(self, hwnd):
        return self.inspector.ask("alive", hwnd) == "1"

    def stop(self):
        self.inspector.stop()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=30)
        self.x.stop()
        fcntl.flock(self.lock, fcntl.LOCK_UN)
        self.lock.close()


class WinApp(harness.App):
    """One run of a Windows program. Points in the window are given as for
    the Linux programs: in the inner area with a menu bar of MENU_HEIGHT on
    top; here they land in the client area below the Win32 menu bar, where
    the controls sit at the same places."""

    def __init__(self, session, exe, args=(), cwd=None):
        if not exe or not os.path.exists(exe):
            raise AssertionError("no program %r: set VEXELOR_EXE and VEXELOR_JPEG_EXE" % exe)
        self.session = session
        self.x = session.x
        self.inspect = session.inspector.ask
        self.compact = os.path.basename(exe).lower() == "vexelor-jpeg.exe"
        self.ids = IDS_COMPACT if self.compact else IDS_FULL
        self.home = tempfile.mkdtemp(prefix="vexelor-home-")
        self.cwd = cwd or self.home
        self.log = open(os.path.join(self.home, "output.log"), "wb")
        earlier = set(session.windows("", cls="VexelorWindow"))  # windows of programs that are ending
        self.started = time.time()
        self.proc = subprocess.Popen(["wine", exe] + list(args), cwd=self.cwd, env=session.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        self.hwnd = session.find_window("", timeout=30, exclude=earlier, cls="VexelorWindow")
        self.wid = self.inspect("xid", self.hwnd)  # the X window, for drops and close requests
        client = self.client()
        self.client_origin = client[:2]
        l, t, r, b = self.canvas_rect()
        self.canvas_origin = (l, t)
        self.wait_idle()

    # --- reading -------------------------------------------------------------

    def title(self):
        return self.inspect("text", self.hwnd, 0)

    def state(self):
        """The texts the back end publishes in its hidden "VexelorState" child."""
        try:
            return harness.parse_state(self.inspect("state", self.hwnd))
        except InspectError:
            return {}

    def status(self):
        """The status bar's text as the control shows it; None without a status bar."""
        try:
            return self.inspect("status", self.hwnd)
        except InspectError:
            return None

    def control_text(self, name):
        return self.inspect("text", self.hwnd, CONTROL + self.ids[name])

    def scroll(self, name):
        """(position, minimum, maximum, page) of a scroll bar control."""
        return tuple(int(v) for v in self.inspect("scroll", self.hwnd, CONTROL + self.ids[name]).split(",")[:4])

    def checked(self, name):
        return self.inspect("check", self.hwnd, CONTROL + self.ids[name]) == "1"

    def spin(self, name):
        """(value, minimum, maximum) of a spin box, as the program holds them."""
        return tuple(int(v) for v in self.state()["spin:%d" % self.ids[name]].split(","))

    def updown(self, name):
        """(position, minimum, maximum) of a spin box's up-down control."""
        return tuple(int(v) for v in self.inspect("spin", self.hwnd, UPDOWN + self.ids[name]).split(","))

    def focus(self):
        """(control id, class) of the window that has the keyboard focus in the program."""
        cid, cls = self.inspect("focus", self.hwnd).split("\t")
        return int(cid), cls

    def client(self):
        """(x, y, w, h) of the client area on the screen."""
        return tuple(int(v) for v in self.inspect("client", self.hwnd).split(","))

    def inner_size(self):
        """(w, h) of the window inside its frame and caption: menu bar and client area."""
        return tuple(int(v) for v in self.inspect("inner", self.hwnd).split(","))

    def window_rect(self):
        return tuple(int(v) for v in self.inspect("rect", self.hwnd, 0).split(","))

    def canvas_rect(self):
        return tuple(int(v) for v in self.inspect("canvas", self.hwnd).split(","))

    def control_rect(self, cid):
        """Screen rectangle (l, t, r, b) of a child by its control id."""
        return tuple(int(v) for v in self.inspect("rect", self.hwnd, cid).split(","))

    def origin(self):
        x, y = self.client_origin
        return x, y - MENU_HEIGHT

    def canvas(self):
        """The canvas as 641 x 481 RGB bytes, as the screen shows it."""
        x, y = self.canvas_origin
        return self.x.grab(x, y, CANVAS_W, CANVAS_H)

    def running(self):
        return self.proc.poll() is None

    # --- acting --------------------------------------------------------------

    def screen_point(self, x, y):
        cx, cy = self.client_origin
        return cx + x, cy + y - MENU_HEIGHT

    def click_screen(self, sx, sy, button=1):
        self.x.run("xdotool", "mousemove", str(sx), str(sy), "click", str(button))

    def menu(self, path):
        """Chooses a menu item: "x2", "Save selected" or "Project/Save image..".
        Items on the bar are clicked at the screen places the program
        publishes; drop-down items are reached with the keyboard."""
        top, _, item = path.partition("/")
        box = self.state().get("menubox:" + top)
        if not box:
            raise AssertionError("no menu " + top)
        bx, by, bw, bh = (int(v) for v in box.split(","))
        self.click_screen(bx + bw // 2, by + bh // 2)
        if item:
            time.sleep(0.3)  # let the drop-down open
            self.x.key(*(["Down"] * (PROJECT_ITEMS.index(item) + 1) + ["Return"]))

    def key(self, *keys):
        """Presses keys over the window, each held for a moment as a hand
        holds it: the program polls the arrow keys' state with
        GetAsyncKeyState after each message, and a key already released by
        then counts as not pressed."""
        self.move(330, 300)
        for k in keys:
            self.x.run("xdotool", "keydown", k)
            time.sleep(0.06)
            self.x.run("xdotool", "keyup", k)
            time.sleep(0.03)

    def type_into(self, name, text, select_all=True):
        """Clicks into a text control, replaces (or extends) its text by typing."""
        self.click_control(name, dx=10)
        if select_all:
            self.x.key("Home", "shift+End")
        self.x.type(text)

    def drop(self, paths, wx=300, wy=200):
        """Drops files on the window (X, Y relative to its X window, frame included)."""
        r = subprocess.run([self.session.xsend, "drop", self.wid, str(wx), str(wy)] + list(paths),
                           env=self.x.env, capture_output=True, timeout=30)
        if r.returncode != 0:
            raise RuntimeError("drop failed: " + r.stderr.decode(errors="replace"))

    def request_close(self):
        """The close request a window manager sends (WM_DELETE_WINDOW)."""
        subprocess.run([self.session.xsend, "close", self.wid], env=self.x.env, check=True, timeout=30)

    def click_close_box(self):
        """Clicks the close box that Wine draws in the caption."""
        sx, sy = (int(v) for v in self.inspect("closebox", self.hwnd).split(","))
        self.click_screen(sx, sy)

    def wait_exit(self, timeout=15.0):
        return self.proc.wait(timeout)

    # --- dialogs -------------------------------------------------------------

    def dialog(self, title_regex, timeout=10.0, exclude=()):
        """Waits for a top-level window (by title) and returns its handle."""
        return self.session.find_window(title_regex, timeout, exclude=exclude)

    def dialog_gone(self, hwnd, timeout=10.0):
        wait_until(lambda: not self.session.alive(hwnd), timeout, what="the dialog to close")

    def press_in_dialog(self, title_regex, *keys):
        """Waits for a dialog to have the keyboard, then types the keys."""
        hwnd = self.dialog(title_regex)
        self.wait_focus_in(hwnd)
        self.x.key(*keys)
        return hwnd

    def type_in_dialog(self, title_regex, text, *keys):
        """Waits for a dialog to have the keyboard, types the text, then the keys."""
        hwnd = self.dialog(title_regex)
        self.wait_focus_in(hwnd)
        self.x.type(text)
        if keys:
            self.x.key(*keys)
        return hwnd

    def wait_focus_in(self, hwnd):
        """Waits until a control of the dialog (or the dialog) has the focus."""
        def has():
            try:
                return self.inspect("focus", hwnd).split("\t")[0] != "-1"
            except InspectError:
                return False
        wait_until(has, 5, what="the dialog to take the keyboard")
        time.sleep(0.1)

    def click_button(self, hwnd, cid):
        """Clicks a button of a dialog by its control id."""
        l, t, r, b = (int(v) for v in self.inspect("rect", hwnd, cid).split(","))
        self.click_screen((l + r) // 2, (t + b) // 2)

    def answer_yes_no(self, title_regex, yes):
        hwnd = self.dialog(title_regex)
        self.wait_focus_in(hwnd)
        self.click_button(hwnd, IDYES if yes else IDNO)
        self.dialog_gone(hwnd)
        return hwnd


class WinGuiTest(harness.GuiTest):
    """Base class: one X server and Wine session for the whole test class, a
    fresh folder per test."""

    binary = VEXELOR_EXE

    @classmethod
    def setUpClass(cls):
        cls.session = WineSession()
        cls.x = cls.session.x

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    def start(self, *args, binary=None, cwd=None):
        app = WinApp(self.session, binary or self.binary, args, cwd=cwd or self.dir)
        self.apps.append(app)
        return app


def main():
    unittest.main(verbosity=2)
