"""The Debian packages: built with Debian's tools, clean under lintian, each holding what it should,
and, unpacked into a scratch dpkg root, running the demo, the C example of docs/installing.md and gdb by build ID."""
import glob
import os
import re
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGES = os.path.join(SOURCE_DIR, "build/packages")
JNI_DIR = "usr/lib/x86_64-linux-gnu/jni"


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def version():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
        return re.search(r"project\(vokrane VERSION (\S+)", f.read()).group(1)


class DebianPackages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        run(os.path.join(SOURCE_DIR, "scripts/package"))
        cls.debs = {os.path.basename(path).split("_")[0]: path for path in glob.glob(os.path.join(PACKAGES, "*.deb"))}

    def test_the_changelog_carries_the_projects_version(self):
        with open(os.path.join(SOURCE_DIR, "debian/changelog")) as f:
            self.assertTrue(f.readline().startswith(f"vokrane ({version()}) "))

    def test_lintian_reports_no_error_or_warning(self):
        report = subprocess.run(["lintian", "--display-info", "--pedantic"] + sorted(self.debs.values()),
                                capture_output=True, text=True)
        self.assertEqual(report.returncode, 0, report.stdout)
        self.assertEqual([line for line in report.stdout.splitlines() if line[:2] in ("E:", "W:")], [])

    def test_each_package_holds_what_it_should(self):
        v = version()
        expected = {
            "libvokrane-jni": {f"/{JNI_DIR}/libvokrane.so"},
            "libvokrane-java": {f"/usr/share/java/vokrane-{v}.jar", "/usr/share/java/vokrane.jar",
                                f"/usr/share/maven-repo/com/vok/vokrane/{v}/vokrane-{v}.pom",
                                f"/usr/share/maven-repo/com/vok/vokrane/{v}/vokrane-{v}.jar",
                                "/usr/share/maven-repo/com/vok/vokrane/debian/vokrane-debian.pom",
                                "/usr/share/maven-repo/com/vok/vokrane/debian/vokrane-debian.jar"},
            "libvokrane-dev": {"/usr/include/vokrane.h"},
            "libvokrane-jni-dbgsym": None,  # one file under /usr/lib/debug/.build-id, checked below
        }
        self.assertEqual(set(self.debs), set(expected))
        for package, files in expected.items():
            listing = run("dpkg-deb", "--contents", self.debs[package]).splitlines()
            held = {line.split()[5][1:] for line in listing if line[0] in "-l"}
            held = {name for name in held if not name.startswith("/usr/share/doc/")}
            if files is None:
                self.assertEqual(len(held), 1, held)
                self.assertRegex(held.pop(), r"^/usr/lib/debug/\.build-id/[0-9a-f]{2}/[0-9a-f]{38}\.debug$")
            else:
                self.assertEqual(held, files, package)
                self.assertIn(f"./usr/share/doc/{package}/copyright", "\n".join(listing))
        depends = {package: run("dpkg-deb", "--field", path, "Depends").strip() for package, path in self.debs.items()}
        self.assertRegex(depends["libvokrane-jni"], r"^libc6 \(>= [0-9.]+\)$")
        self.assertEqual(depends["libvokrane-java"], f"libvokrane-jni (= {version()})")
        self.assertEqual(depends["libvokrane-dev"], f"libvokrane-jni (= {version()})")

    def test_installed_into_a_scratch_root_they_work(self):
        with tempfile.TemporaryDirectory() as scratch:
            root = os.path.join(scratch, "root")
            admin = os.path.join(root, "var/lib/dpkg")
            os.makedirs(os.path.join(admin, "updates"))
            os.makedirs(os.path.join(admin, "info"))
            open(os.path.join(admin, "status"), "w").close()
            # libc6 is the machine's; the scratch root has none, hence --force-depends.
            run("dpkg", "--root=" + root, "--force-not-root", "--force-depends", "--install",
                *sorted(self.debs.values()))
            self.assertIn("ii  libvokrane-jni", run("dpkg", "--root=" + root, "--list"))
            library = os.path.join(root, JNI_DIR, "libvokrane.so")

            demo = subprocess.run(["java", "-Dcom.vok.library.path=" + library, "-jar",
                                   os.path.join(root, "usr/share/java/vokrane.jar")],
                                  capture_output=True, text=True, env=dict(os.environ, SHELL="true"))
            self.assertEqual(demo.stderr, "")
            self.assertRegex(demo.stdout, r"^vokrane: this is true, started from Java by libvokrane on this terminal; type exit"
                             r" to come back to Java\nvokrane: true ended \(process [1-9][0-9]*\)\n$")

            with open(os.path.join(SOURCE_DIR, "docs/installing.md")) as f:
                readme = f.read()
            with open(os.path.join(scratch, "example.c"), "w") as f:
                f.write(re.search(r"```c\n(/\* example\.c:.*?)```", readme, re.DOTALL).group(1))
            command = re.search(r"^cc -o example example\.c .*$", readme, re.MULTILINE).group(0)
            run("sh", "-c", command.replace("/usr/", root + "/usr/") + " -I" + root + "/usr/include", cwd=scratch)
            self.assertRegex(run(os.path.join(scratch, "example"), "true"), r"^true ended \(process [1-9][0-9]*\)\n$")

            line = run("gdb", "-batch", "-nx", "-iex", "set debug-file-directory " + os.path.join(root, "usr/lib/debug"),
                       "-ex", "info line spawn", library)
            self.assertRegex(line, r'Line \d+ of ".*spawn\.cpp"')
            self.assertNotIn(".debug_info", run("readelf", "--sections", "--wide", library))


if __name__ == "__main__":
    unittest.main()
