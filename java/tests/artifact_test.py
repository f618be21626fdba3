"""The published Java artifact: Java 11 class files, one version throughout, clean Javadoc without
the demo, the installed Maven layout, and a Maven project that builds against it offline and runs."""
import glob
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

BUILD_DIR = os.environ["VOKRANE_BUILD_DIR"]
SOURCE_DIR = os.environ["VOKRANE_SOURCE_DIR"]
VERSION = os.environ["VOKRANE_VERSION"]
JAR = os.path.join(BUILD_DIR, f"vokrane-{VERSION}.jar")


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options)


class JavaArtifact(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls.scratch.name, "prefix")
        run("cmake", "--install", BUILD_DIR, "--prefix", cls.prefix)
        cls.repo = os.path.join(cls.prefix, "share/maven-repo/com/vok/vokrane")

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def test_class_files_are_for_java_11(self):
        with zipfile.ZipFile(JAR) as jar:
            classes = [name for name in jar.namelist() if name.endswith(".class")]
            self.assertIn("module-info.class", classes)
            for name in classes:
                major = int.from_bytes(jar.read(name)[6:8], "big")
                self.assertEqual(major, 55, name)

    def test_the_jar_carries_each_platforms_library_and_no_other_can_be_packed(self):
        with zipfile.ZipFile(JAR) as jar:
            machines = {"linux-x86_64": 0x3E, "linux-x86_64-musl": 0x3E, "linux-aarch64": 0xB7, "linux-aarch64-musl": 0xB7,
                        "linux-x86": 0x03, "linux-arm": 0x28, "linux-armel": 0x28, "linux-ppc64le": 0x15, "linux-s390x": 0x16, "linux-riscv64": 0xF3}
            packed = {name.split("/")[3] for name in jar.namelist() if name.endswith("/libvokrane.so")}
            self.assertEqual(packed, set(machines))
            for platform, machine in machines.items():
                header = jar.read(f"com/vok/native/{platform}/libvokrane.so")[:20]
                self.assertEqual(header[:4], b"\x7fELF", platform)
                order = "big" if header[5] == 2 else "little"
                self.assertEqual(int.from_bytes(header[18:20], order), machine, platform)
        libraries = {"linux-x86_64": os.path.join(BUILD_DIR, "libvokrane.so"),
                     "linux-aarch64": os.path.join(BUILD_DIR, "library-linux-aarch64/libvokrane.so")}
        with tempfile.TemporaryDirectory() as scratch:
            cut = os.path.join(scratch, "cut.so")
            with open(libraries["linux-x86_64"], "rb") as whole, open(cut, "wb") as part:
                part.write(whole.read(os.path.getsize(libraries["linux-x86_64"]) - 1))
            swapped = f"linux-x86_64={libraries['linux-aarch64']};linux-aarch64={libraries['linux-x86_64']}"
            for packing, why in ((swapped, "is not a shared object for linux-x86_64"), (f"linux-x86_64={cut}", "is cut short")):
                packed = subprocess.run(
                    ["cmake", "-DCLASSES=" + os.path.join(BUILD_DIR, "java/vokrane-classes.jar"),
                     "-DJAR=" + os.path.join(scratch, "out.jar"), "-DJAR_TOOL=jar", "-DSTAGE=" + os.path.join(scratch, "stage"),
                     "-DLIBRARIES=" + packing, "-P", os.path.join(SOURCE_DIR, "java/pack.cmake")], capture_output=True, text=True)
                self.assertNotEqual(packed.returncode, 0)
                self.assertIn(why, " ".join(packed.stderr.split()))
                self.assertFalse(os.path.exists(os.path.join(scratch, "out.jar")))

    def test_sources_keep_to_the_java_11_api(self):
        # The build compiles with -source/-target; --release 11 also checks every API used exists in
        # Java 11, at the price of warnings for sun.misc.Signal, the one internal API the guard needs.
        sources = glob.glob(os.path.join(SOURCE_DIR, "java/src/**/*.java"), recursive=True)
        with tempfile.TemporaryDirectory() as classes:
            compiled = subprocess.run(["javac", "--release", "11", "-Xlint:all", "-d", classes] + sources,
                                      capture_output=True, text=True)
        self.assertEqual(compiled.returncode, 0, compiled.stderr)
        warnings = [line for line in compiled.stderr.splitlines() if "warning:" in line]
        self.assertTrue(warnings, "expected the sun.misc warnings, so this check is not compiling nothing")
        for line in warnings:
            self.assertRegex(line, r"warning: (Signal|SignalHandler) is internal proprietary API")

    def test_one_version_in_the_manifest_the_pom_and_the_names(self):
        with zipfile.ZipFile(JAR) as jar:
            manifest = jar.read("META-INF/MANIFEST.MF").decode()
        self.assertIn("Implementation-Title: vokrane\r\n", manifest)
        self.assertIn(f"Implementation-Version: {VERSION}\r\n", manifest)
        with open(os.path.join(self.repo, VERSION, f"vokrane-{VERSION}.pom")) as pom:
            text = pom.read()
        self.assertEqual(re.findall(r"<(groupId|artifactId|version)>([^<]*)<", text),
                         [("groupId", "com.vok"), ("artifactId", "vokrane"), ("version", VERSION)])
        self.assertNotIn("<dependencies>", text)
        for element in ("name", "description", "licenses"):
            self.assertIn(f"<{element}>", text)

    def test_installed_layout(self):
        share = os.path.join(self.prefix, "share")
        installed_jar = os.path.join(share, f"java/vokrane-{VERSION}.jar")
        with open(installed_jar, "rb") as installed, open(JAR, "rb") as built:
            self.assertEqual(installed.read(), built.read())
        links = [os.path.join(share, "java/vokrane.jar"),
                 os.path.join(self.repo, VERSION, f"vokrane-{VERSION}.jar"),
                 os.path.join(self.repo, "debian/vokrane-debian.jar")]
        for link in links:
            self.assertTrue(os.path.islink(link), link)
            self.assertEqual(os.path.realpath(link), os.path.realpath(installed_jar), link)
        with open(os.path.join(self.repo, "debian/vokrane-debian.pom")) as pom:
            self.assertIn("<version>debian</version>", pom.read())
        for suffix in ("sources", "javadoc"):
            with zipfile.ZipFile(os.path.join(self.repo, VERSION, f"vokrane-{VERSION}-{suffix}.jar")) as jar:
                names = jar.namelist()
            self.assertTrue(any(name.endswith("LinuxNative.java" if suffix == "sources" else "LinuxNative.html")
                                for name in names), suffix)
        api = os.path.join(share, "doc/vokrane/api")
        documented = [name for _, _, files in os.walk(api) for name in files]
        self.assertIn("index.html", documented)
        self.assertIn("Terminal.html", documented)
        self.assertNotIn("Demo.html", documented)

    def test_a_maven_project_builds_offline_against_the_installed_repository_into_an_uber_jar_that_runs(self):
        project = os.path.join(self.scratch.name, "consumer")
        shutil.copytree(os.path.join(SOURCE_DIR, "java/tests/consumer"), project)
        # The guide's settings for this prefix, and its uber-jar's build section in the project's pom.
        with open(os.path.join(SOURCE_DIR, "docs/guide.md")) as guide:
            text = guide.read()
        settings = os.path.join(self.scratch.name, "settings.xml")
        with open(settings, "w") as f:
            f.write(re.search(r"```xml\n(<settings>.*?)```", text, re.DOTALL).group(1).replace("PREFIX", self.prefix))
        pom = os.path.join(project, "pom.xml")
        with open(pom) as f:
            consumer = f.read()
        with open(pom, "w") as f:
            f.write(consumer.replace("</project>", re.search(r"```xml\n(<build>.*?)```", text, re.DOTALL).group(1) + "</project>"))
        built = run("mvn", "--batch-mode", "--no-transfer-progress", "--settings", settings,
                    "-Dvokrane.version=" + VERSION, "package", cwd=project, env=dict(os.environ, HOME=self.scratch.name))
        warnings = [line for line in built.stdout.splitlines() if line.startswith("[WARNING]")]
        self.assertEqual([], [line for line in warnings if "has been relocated to" not in line], built.stdout)
        self.assertFalse(os.path.exists(os.path.join(self.prefix, "share/maven-repo/org")), "Maven wrote into the prefix")
        libraries = [os.path.join(root, "libvokrane.so") for root, _, files in os.walk(self.prefix)
                     if "libvokrane.so" in files]
        self.assertEqual(len(libraries), 1)
        # The newest JDK here warns of native access that the uber-jar's manifest does not give.
        newest = max(glob.glob("/usr/lib/jvm/*/bin/java"),
                     key=lambda java: int(re.search(r'version "(\d+)', run(java, "-version").stderr).group(1)))
        ran = subprocess.run([newest, "-Dcom.vok.library.path=" + libraries[0], "-jar",
                              os.path.join(project, "target/consumer-1.jar")], capture_output=True, text=True, check=True)
        self.assertRegex(ran.stdout, r"^pid [1-9][0-9]*\nmapped " + re.escape(libraries[0]) + "\n$")
        self.assertEqual("", ran.stderr)

if __name__ == "__main__":
    unittest.main()
