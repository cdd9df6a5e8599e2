"""Checks the Debian package as Debian does, then runs it unpacked.

    python3 tests/package/test_deb.py build/vexelor_<version>_amd64.deb

lintian (no errors; warnings are printed), desktop-file-validate on both
entries, appstreamcli on the metadata, apt's dependency resolution, the files
and where they go, stripped binaries, and both programs started from the
unpacked package in an X server of the test's own: the window opens, vexelor
shows the file named on its command line, the window carries the icon and the
window class its desktop entry names."""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DEB = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
ROOT = tempfile.mkdtemp(prefix="vexelor-deb-")
# The GUI harness takes the programs from the environment when imported.
os.environ["VEXELOR_BIN"] = os.path.join(ROOT, "usr/bin/vexelor")
os.environ["VEXELOR_JPEG_BIN"] = os.path.join(ROOT, "usr/bin/vexelor-jpeg")
if DEB:  # the GUI tests' sender of close requests, from the build folder the package was made in
    os.environ.setdefault("XSEND_BIN", os.path.join(os.path.dirname(DEB), "tests", "xsend"))
sys.path.insert(0, os.path.join(HERE, "..", "gui"))
import harness  # noqa: E402

APP_ID = "io.github.vexelor.Vexelor"
ENTRIES = {"vexelor": APP_ID + ".desktop", "vexelor-jpeg": "io.github.vexelor.VexelorJpeg.desktop"}
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def run(*args):
    return subprocess.run(list(args), capture_output=True, text=True, timeout=300)


def desktop_entry(path):
    keys = {}
    with open(path) as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                k, v = line.rstrip("\n").split("=", 1)
                keys[k] = v
    return keys


class PackageTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        r = run("dpkg-deb", "-x", DEB, ROOT)
        if r.returncode != 0:
            raise RuntimeError("dpkg-deb -x failed: " + r.stderr)

    def test_lintian_finds_no_errors(self):
        r = run("lintian", "--fail-on", "error", DEB)
        report = [line for line in r.stdout.splitlines() if re.match(r"[EWIPX]: ", line)]
        if report:
            sys.stderr.write("lintian:\n  " + "\n  ".join(report) + "\n")
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertFalse([line for line in report if line.startswith("E: ")])

    def test_control_fields(self):
        fields = run("dpkg-deb", "-f", DEB).stdout
        self.assertRegex(os.path.basename(DEB), r"^vexelor_[0-9][^_]*_amd64\.deb$")
        self.assertRegex(fields, r"(?m)^Package: vexelor$")
        self.assertRegex(fields, r"(?m)^Architecture: amd64$")
        depends = re.search(r"(?m)^Depends: (.*)$", fields).group(1)
        for lib in ("libfltk1.3", "libpng16-16", "libjpeg62-turbo", "libc6"):
            self.assertIn(lib, depends)

    def test_apt_resolves_the_dependencies(self):
        r = run("apt-get", "install", "--simulate", "--no-install-recommends", DEB)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertRegex(r.stdout, r"(?m)^Inst vexelor ")

    def test_files_are_installed_under_usr(self):
        expected = ["usr/bin/vexelor", "usr/bin/vexelor-jpeg",
                    "usr/share/metainfo/%s.metainfo.xml" % APP_ID,
                    "usr/share/man/man1/vexelor.1.gz", "usr/share/man/man1/vexelor-jpeg.1.gz",
                    "usr/share/doc/vexelor/copyright", "usr/share/doc/vexelor/changelog.gz"]
        expected += ["usr/share/applications/" + e for e in ENTRIES.values()]
        expected += ["usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in ICON_SIZES]
        for path in expected:
            self.assertTrue(os.path.isfile(os.path.join(ROOT, path)), path)
        outside = [p for p in os.listdir(ROOT) if p != "usr"]
        self.assertEqual(outside, [])
        for s in ICON_SIZES:
            with open(os.path.join(ROOT, "usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID)), "rb") as f:
                head = f.read(24)
            self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(int.from_bytes(head[16:20], "big"), s)

    def test_binaries_are_stripped(self):
        for name in ENTRIES:
            sections = run("readelf", "-S", "-W", os.path.join(ROOT, "usr/bin", name)).stdout
            self.assertNotIn(".symtab", sections, name)
            self.assertNotIn(".debug_info", sections, name)

    def test_desktop_entries_validate(self):
        for program, entry in ENTRIES.items():
            path = os.path.join(ROOT, "usr/share/applications", entry)
            r = run("desktop-file-validate", path)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertNotIn("error:", r.stdout + r.stderr)
            keys = desktop_entry(path)
            self.assertEqual(keys["Exec"].split()[0], program)
            self.assertEqual(keys["Icon"], APP_ID)
        viewer = desktop_entry(os.path.join(ROOT, "usr/share/applications", ENTRIES["vexelor"]))
        self.assertEqual(viewer["Exec"], "vexelor %f")
        self.assertIn("application/octet-stream", viewer["MimeType"].split(";"))

    def test_metainfo_validates(self):
        r = run("appstreamcli", "validate", "--no-net",
                os.path.join(ROOT, "usr/share/metainfo/%s.metainfo.xml" % APP_ID))
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_manual_pages_render_cleanly(self):
        for name in ENTRIES:
            r = subprocess.run(["man", "--warnings", "-l", "-Tutf8",
                                os.path.join(ROOT, "usr/share/man/man1/%s.1.gz" % name)],
                               capture_output=True, text=True, timeout=60, env=dict(os.environ, MANWIDTH="80"))
            self.assertEqual(r.stderr.strip(), "", name)
            text = re.sub(".\x08", "", r.stdout)  # drop the overstriking of bold and underline
            for heading in ("NAME", "SYNOPSIS", "DESCRIPTION", "CONTROLS", "FILES", "EXIT STATUS"):
                self.assertIn("\n" + heading + "\n", text, name)


class UnpackedProgramsTest(harness.GuiTest):

    def icon_sizes(self, wid):
        out = self.x.run("xprop", "-notype", "-len", "100000000", "-f", "_NET_WM_ICON", "32c",
                         "-id", wid, "_NET_WM_ICON")
        values = [int(v) for v in re.findall(r"\d+", out.partition("=")[2])]
        sizes = []
        while len(values) >= 2 and len(values) >= 2 + values[0] * values[1]:
            sizes.append(values[0])
            values = values[2 + values[0] * values[1]:]
        return sizes

    def check_window(self, app, program):
        self.assertIn(16, self.icon_sizes(app.wid))
        entry = desktop_entry(os.path.join(ROOT, "usr/share/applications", ENTRIES[program]))
        wm_class = self.x.run("xprop", "-id", app.wid, "WM_CLASS")
        self.assertIn('"%s"' % entry["StartupWMClass"], wm_class)

    def test_vexelor_shows_the_file_on_its_command_line(self):
        data = bytes((i * 97 + 5) & 0xFF for i in range(3000))
        path = self.fixture("dump.bin", data)
        app = self.start(path)
        self.assertIsNone(harness.first_difference(app.wait_idle(), harness.picture(data)))
        self.check_window(app, "vexelor")
        app.request_close()
        self.assertEqual(app.wait_exit(), 0)

    def test_vexelor_jpeg_opens_its_window(self):
        app = self.start(binary=os.environ["VEXELOR_JPEG_BIN"])
        self.assertTrue(app.title().startswith("Vexelor"), app.title())
        self.check_window(app, "vexelor-jpeg")
        app.request_close()
        self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    if not DEB or not os.path.isfile(DEB):
        sys.exit("usage: test_deb.py vexelor_<version>_amd64.deb")
    try:
        unittest.main(verbosity=2)
    finally:
        shutil.rmtree(ROOT, ignore_errors=True)
