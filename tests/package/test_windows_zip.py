"""Checks the Windows package: what the zip holds and what each program carries.

    python3 tests/package/test_windows_zip.py build-windows/vexelor-<version>-windows-x64.zip
    python3 tests/package/test_windows_zip.py --build build-windows   (packs it there first)

The zip holds one folder with vexelor.exe, vexelor-jpeg.exe and README.txt
(Windows line ends). Each program is a 64-bit GUI program that imports only
system DLLs and carries a manifest asking for common controls 6 and declaring
DPI awareness; vexelor.exe carries the application icon at 256, 48, 32, 24
and 16 pixels, vexelor-jpeg.exe none. The programs are read as PE files here,
without running them."""

import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
# DLLs every Windows has; anything else would have to ship beside the programs.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll", "shell32.dll",
               "msvcrt.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "ws2_32.dll", "ucrtbase.dll"}


def make_zip(build):
    out = tempfile.mkdtemp(prefix="vexelor-zip-")
    subprocess.run(["cpack", "-G", "ZIP", "-B", out], cwd=build, check=True, capture_output=True, timeout=300)
    found = glob.glob(os.path.join(out, "vexelor-*-windows-x64.zip"))
    if len(found) != 1:
        sys.exit("cpack made %r" % found)
    return found[0]


class Pe:
    """The parts of a PE file this test looks at: subsystem, imports, resources."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        directories = opt + 112  # PE32+
        self.import_rva = struct.unpack_from("<I", data, directories + 8)[0]
        self.resource_rva = struct.unpack_from("<I", data, directories + 16)[0]
        self.sections = []
        for i in range(sections):
            s = opt + optional_size + 40 * i
            vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((vaddr, max(vsize, raw_size), raw_ptr))

    def offset(self, rva):
        for vaddr, size, raw in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raw
        raise ValueError("RVA %#x in no section" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        names, at = [], self.offset(self.import_rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, at)
            if not any(entry):
                return names
            names.append(self.cstring(entry[3]))
            at += 20

    def resources(self):
        """{(type, name): bytes} for every resource (first language of each)."""
        found = {}
        if not self.resource_rva:
            return found
        base = self.offset(self.resource_rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, at + 16 + 8 * i)

        for rtype, to_names in entries(base):
            for name, to_langs in entries(base + (to_names & 0x7FFFFFFF)):
                _, to_data = next(entries(base + (to_langs & 0x7FFFFFFF)))
                rva, size = struct.unpack_from("<II", self.data, base + to_data)
                at = self.offset(rva)
                found[(rtype, name)] = self.data[at:at + size]
        return found


def icon_sizes(group):
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    assert kind == 1, "not an icon group"
    return sorted((group[6 + 14 * i] or 256) for i in range(count))


class WindowsZipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.zip = zipfile.ZipFile(ZIP)
        names = [n for n in cls.zip.namelist() if not n.endswith("/")]
        cls.top = names[0].split("/")[0]
        cls.files = {n[len(cls.top) + 1:]: n for n in names}

    def program(self, name):
        return Pe(self.zip.read(self.files[name]))

    def test_one_folder_with_both_programs_and_the_read_me(self):
        self.assertRegex(self.top, r"^vexelor-\d+\.\d+\.\d+-windows-x64$")
        self.assertEqual(os.path.basename(ZIP), self.top + ".zip")
        self.assertEqual(sorted(self.files), ["README.txt", "vexelor-jpeg.exe", "vexelor.exe"])

    def test_read_me_is_for_notepad_and_names_both_programs(self):
        text = self.zip.read(self.files["README.txt"])
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), "every line ends in CR LF")
        self.assertNotIn(b"@", text, "a placeholder was left")
        for program in (b"vexelor.exe", b"vexelor-jpeg.exe"):
            self.assertIn(program, text)

    def test_programs_are_64_bit_gui_programs_importing_only_system_dlls(self):
        for name in ("vexelor.exe", "vexelor-jpeg.exe"):
            pe = self.program(name)
            self.assertEqual((pe.machine, pe.magic), (0x8664, 0x20B), name + ": x86-64, PE32+")
            self.assertEqual(pe.subsystem, 2, name + ": the Windows GUI subsystem, no console")
            imported = {dll.lower() for dll in pe.imports()}
            self.assertLessEqual(imported, SYSTEM_DLLS, name)
            self.assertIn("comctl32.dll", imported, name)

    def test_both_carry_the_manifest(self):
        for name in ("vexelor.exe", "vexelor-jpeg.exe"):
            manifest = self.program(name).resources().get((RT_MANIFEST, 1))
            self.assertIsNotNone(manifest, name + ": no manifest for the process")
            text = manifest.decode("utf-8")
            self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', " ".join(text.split()))
            self.assertIn(">true</dpiAware>", text)

    def test_only_vexelor_carries_the_icon_in_every_size(self):
        res = self.program("vexelor.exe").resources()
        groups = [data for (rtype, _), data in res.items() if rtype == RT_GROUP_ICON]
        self.assertEqual(len(groups), 1)
        self.assertEqual(icon_sizes(groups[0]), [16, 24, 32, 48, 256])
        self.assertEqual(sum(1 for rtype, _ in res if rtype == RT_ICON), 5)
        jpeg = self.program("vexelor-jpeg.exe").resources()
        self.assertFalse([k for k in jpeg if k[0] in (RT_ICON, RT_GROUP_ICON)])


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--build":
        ZIP = make_zip(os.path.abspath(sys.argv[2]))
        del sys.argv[1:3]
    elif len(sys.argv) > 1:
        ZIP = os.path.abspath(sys.argv.pop(1))
    else:
        sys.exit(__doc__)
    try:
        unittest.main(verbosity=2)
    finally:
        if os.path.basename(os.path.dirname(ZIP)).startswith("vexelor-zip-"):
            shutil.rmtree(os.path.dirname(ZIP), ignore_errors=True)
