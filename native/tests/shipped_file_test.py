"""The built libvokrane.so keeps its promises: soname, imports, exports, stripping, hardening, debug file."""
import os
import re
import struct
import subprocess
import tempfile
import unittest
import zlib

BUILD_DIR = os.environ["VOKRANE_BUILD_DIR"]
INSTALLING = os.path.join(os.environ["VOKRANE_SOURCE_DIR"], "docs/installing.md")
LIBRARY = os.path.join(BUILD_DIR, "libvokrane.so")
DEBUG_FILE = LIBRARY + ".debug"
EXPORTS = {"spawn", "Java_com_vok_LinuxNative_shell", "Java_com_vok_LinuxNative_edit", "Java_com_vok_LinuxNative_beginTerminalCall",
           "Java_com_vok_LinuxNative_endTerminalCall"}
GLIBC_BASELINE = os.environ["VOKRANE_GLIBC_BASELINE"]  # the oldest version of every import; empty for musl
LIBC = os.environ.get("VOKRANE_LIBC", "libc.so.6")
FEATURES = os.environ.get("VOKRANE_FEATURES")  # the control-flow protection property note, where there is one
GDB = os.environ.get("VOKRANE_GDB", "gdb")
OBJCOPY = os.environ["VOKRANE_OBJCOPY"]  # the build's own, which writes files of its platform


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def dynamic_symbols(path):
    """(name, version, defined) for every global entry of the dynamic symbol table. A local one (a
    section's symbol, as riscv64's linker leaves) exports nothing."""
    symbols = []
    for line in run("readelf", "--dyn-syms", "--wide", path).splitlines():
        fields = re.sub(r"\[<localentry>: \d+\] ", "", line).split()  # ppc64's extra column
        if len(fields) < 8 or not fields[0].rstrip(":").isdigit() or fields[4] == "LOCAL":
            continue
        name, _, version = fields[7].partition("@")
        symbols.append((name, version.split(" ")[0].lstrip("@"), fields[6] != "UND"))
    return symbols


def build_id(path):
    return re.search(r"Build ID: ([0-9a-f]+)", run("readelf", "--notes", path)).group(1)


def gdb_line_of_spawn(path):
    return run(GDB, "-batch", "-nx", "-ex", "info line spawn", path)


class ShippedFile(unittest.TestCase):
    def test_soname_and_only_libc_needed(self):
        dynamic = run("readelf", "--dynamic", "--wide", LIBRARY)
        self.assertEqual(re.findall(r"\(SONAME\).*\[(.*)\]", dynamic), ["libvokrane.so"])
        self.assertEqual(re.findall(r"\(NEEDED\).*\[(.*)\]", dynamic), [LIBC])

    def test_every_import_at_the_baseline_glibc_version(self):
        imports = [(name, version) for name, version, defined in dynamic_symbols(LIBRARY) if not defined]
        self.assertTrue(imports)
        self.assertEqual([entry for entry in imports if entry[1] != GLIBC_BASELINE], [])

    def test_exports_exactly_its_functions(self):
        exported = {name for name, _, defined in dynamic_symbols(LIBRARY) if defined}
        self.assertEqual(exported, EXPORTS)

    def test_the_entry_points_reach_the_launcher_without_the_dynamic_linker(self):
        # A relocation naming spawn would let any other library's spawn stand in for the launcher.
        relocations = run("readelf", "--relocs", "--wide", LIBRARY)
        self.assertEqual([line for line in relocations.splitlines() if re.search(r"\bspawn\b", line)], [])

    def test_stripped_with_a_matching_debug_link_and_build_id(self):
        sections = run("readelf", "--sections", "--wide", LIBRARY)
        self.assertNotIn(".symtab", sections)
        self.assertNotIn(".debug_", sections)
        self.assertIn(".debug_info", run("readelf", "--sections", "--wide", DEBUG_FILE))
        with tempfile.TemporaryDirectory() as scratch:
            link = os.path.join(scratch, "debuglink")
            run(OBJCOPY, "--dump-section", ".gnu_debuglink=" + link, LIBRARY, os.path.join(scratch, "out"))
            with open(link, "rb") as f:
                contents = f.read()
        name = contents.split(b"\0")[0].decode()
        with open(LIBRARY, "rb") as f:
            big_endian = f.read(6)[5] == 2  # EI_DATA: the CRC is in the file's own byte order
        (crc,) = struct.unpack(">I" if big_endian else "<I", contents[-4:])
        self.assertEqual(name, "libvokrane.so.debug")
        with open(DEBUG_FILE, "rb") as f:
            self.assertEqual(crc, zlib.crc32(f.read()))
        self.assertEqual(build_id(LIBRARY), build_id(DEBUG_FILE))

    def test_gdb_resolves_spawn_to_its_source_line(self):
        self.assertRegex(gdb_line_of_spawn(LIBRARY), r'Line \d+ of ".*spawn\.cpp"')

    def test_hardening(self):
        dynamic = run("readelf", "--dynamic", "--wide", LIBRARY)
        self.assertIn("BIND_NOW", dynamic)
        self.assertNotIn("TEXTREL", dynamic)
        segments = run("readelf", "--segments", "--wide", LIBRARY)
        self.assertIn("GNU_RELRO", segments)
        stack = re.search(r"GNU_STACK.*", segments).group(0)
        self.assertNotIn("E", stack.split()[-2])  # flags column: RW, never RWE
        if FEATURES:
            self.assertIn("Properties: " + FEATURES, run("readelf", "--notes", LIBRARY))

    def test_install_layout_lets_gdb_find_the_debug_file(self):
        with tempfile.TemporaryDirectory() as prefix:
            run("cmake", "--install", BUILD_DIR, "--prefix", prefix)
            jni_dirs = [root for root, _, files in os.walk(prefix) if "libvokrane.so" in files]
            self.assertEqual(len(jni_dirs), 1)
            self.assertTrue(jni_dirs[0].endswith("/jni"), jni_dirs[0])
            self.assertTrue(os.path.exists(os.path.join(jni_dirs[0], "libvokrane.so.debug")))
            installed = os.path.join(jni_dirs[0], "libvokrane.so")
            self.assertRegex(gdb_line_of_spawn(installed), r'Line \d+ of ".*spawn\.cpp"')


class InstalledAsTheReadmeSays(unittest.TestCase):
    """Installed with a prefix or staged with DESTDIR, every file lies where docs/installing.md says, and
    its C example builds with its own command line against the installed files."""

    @classmethod
    def setUpClass(cls):
        with open(INSTALLING) as f:
            cls.readme = f.read()
        section = cls.readme[cls.readme.index("## Installing"):cls.readme.index("## Debugging")]
        cls.paths = re.findall(r"^\| `(/usr/[^`]+)`", section, re.MULTILINE)

    def assert_installed(self, root, prefix):
        self.assertGreater(len(self.paths), 5)
        for path in self.paths:
            self.assertTrue(os.path.exists(root + prefix + path[len("/usr"):]), path)
        self.assertEqual(sorted(os.listdir(root + prefix)), ["include", "lib", "share"])

    def test_any_prefix(self):
        with tempfile.TemporaryDirectory() as prefix:
            run("cmake", "--install", BUILD_DIR, "--prefix", prefix)
            self.assert_installed("", prefix)

    def test_staged_with_destdir_and_used_by_the_readmes_example(self):
        with tempfile.TemporaryDirectory() as scratch:
            root = os.path.join(scratch, "root")
            subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", "/usr"], check=True, capture_output=True,
                           env=dict(os.environ, DESTDIR=root))
            self.assert_installed(root, "/usr")
            example = re.search(r"```c\n(/\* example\.c:.*?)```", self.readme, re.DOTALL).group(1)
            with open(os.path.join(scratch, "example.c"), "w") as f:
                f.write(example)
            command = re.search(r"^cc -o example example\.c .*$", self.readme, re.MULTILINE).group(0)
            command = command.replace("/usr/", root + "/usr/")
            run("sh", "-c", command + " -I" + root + "/usr/include", cwd=scratch)
            ran = run(os.path.join(scratch, "example"), "true")
            self.assertRegex(ran, r"^true ended \(process [1-9][0-9]*\)\n$")
            mapped = run("ldd", os.path.join(scratch, "example"))
            self.assertIn(root + "/usr/lib/x86_64-linux-gnu/jni/libvokrane.so", mapped)


if __name__ == "__main__":
    unittest.main()
