"""The release: two builds of one commit that differ in all a build may differ in give the same bytes
in every installed file, and scripts/verify tells an unchanged jar from one with a byte changed."""
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKED = "com/vok/native/linux-aarch64/libvokrane.so"


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def tree(root):
    """Every file and link under root, by its path: its mode and its bytes or target."""
    found = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                found[os.path.relpath(path, root)] = ("link", os.readlink(path))
            else:
                with open(path, "rb") as f:
                    found[os.path.relpath(path, root)] = (oct(os.stat(path).st_mode), f.read())
    return found


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="vokrane-release-")
        cls.commit = run("git", "-C", SOURCE_DIR, "rev-parse", "HEAD").strip()
        # A clone, and an archive with no .git at a longer path, built by other hosts, umasks,
        # zones, languages and numbers of jobs.
        clone = os.path.join(cls.scratch, "a", "vokrane")
        run("git", "clone", "-q", SOURCE_DIR, clone)
        run("git", "-C", clone, "checkout", "-q", cls.commit)
        archive = os.path.join(cls.scratch, "b", "somewhere", "else", "vokrane-src")
        os.makedirs(archive)
        subprocess.run(f"git -C {SOURCE_DIR} archive {cls.commit} | tar -x -C {archive}", shell=True, check=True)
        cls.installed = []
        for source, host, umask, zone, language, jobs in ((clone, "builder-a", "022", "UTC", "C.UTF-8", 2),
                                                          (archive, "builder-b", "002", "Pacific/Kiritimati", "C", 1)):
            # The aarch64 musl build links against the musl that scripts/setup unpacked.
            os.makedirs(os.path.join(source, "build"), exist_ok=True)
            shutil.copy(os.path.join(SOURCE_DIR, "build/musl-arm64"), os.path.join(source, "build"), follow_symlinks=False)
            root = os.path.join(source, "installed")
            script = (f"hostname {host} && umask {umask} && cmake --preset release >/dev/null"
                      f" && cmake --build --preset release -j {jobs} >/dev/null"
                      f" && DESTDIR={root} cmake --install build/release-build --prefix /usr >/dev/null")
            environment = dict(os.environ, TZ=zone, LANG=language, LC_ALL=language)
            environment.pop("SOURCE_DATE_EPOCH", None)
            subprocess.run(["unshare", "--uts", "sh", "-c", script], cwd=source, env=environment, check=True)
            cls.installed.append(root)
        cls.jar = os.path.join(clone, "build/release-build/vokrane-1.0.0.jar")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def test_two_builds_install_the_same_bytes(self):
        first, second = (tree(root) for root in self.installed)
        self.assertEqual(sorted(first), sorted(second))
        self.assertEqual([], [path for path in first if first[path] != second[path]])
        for root in self.installed:
            print("sha256", run("sha256sum", os.path.join(root, "usr/share/java/vokrane-1.0.0.jar")).split()[0], root)
        with zipfile.ZipFile(self.jar) as jar:
            self.assertIn(f"Source-Commit: {self.commit}\r\n", jar.read("META-INF/MANIFEST.MF").decode())
            self.assertEqual(10, len([name for name in jar.namelist() if name.endswith("/libvokrane.so")]))

    def test_verify_names_the_entry_with_a_byte_changed_and_refuses_a_jar_of_no_known_commit(self):
        changed = os.path.join(self.scratch, "changed.jar")
        unknown = os.path.join(self.scratch, "unknown.jar")
        with zipfile.ZipFile(self.jar) as jar, zipfile.ZipFile(changed, "w") as out, zipfile.ZipFile(unknown, "w") as other:
            for info in jar.infolist():
                data = jar.read(info)
                if info.filename == PACKED:
                    data = data[:100] + bytes([data[100] ^ 1]) + data[101:]
                out.writestr(info, data)
            other.writestr("META-INF/MANIFEST.MF", f"Manifest-Version: 1.0\r\nSource-Commit: {'0' * 40}\r\n\r\n")
        verify = subprocess.run([os.path.join(SOURCE_DIR, "scripts/verify"), self.jar, changed],
                                capture_output=True, text=True)
        self.assertEqual(1, verify.returncode, verify.stderr[-2000:])
        self.assertEqual(f"identical: {self.jar}\ndiffers: {changed}, from the build of {self.commit}:\n"
                         f"  {PACKED}: other bytes\n", verify.stdout)
        sources = os.path.join(self.installed[0], "usr/share/maven-repo/com/vok/vokrane/1.0.0/vokrane-1.0.0-sources.jar")
        for jar, said in ((sources, "names no commit"), (unknown, f"commit {'0' * 40}, which this checkout does not have")):
            refused = subprocess.run([os.path.join(SOURCE_DIR, "scripts/verify"), jar], capture_output=True, text=True)
            self.assertEqual(2, refused.returncode)
            self.assertIn(said, refused.stderr)


if __name__ == "__main__":
    unittest.main()
