"""The jar on an emulated aarch64 Java VM (Debian's arm64 runtime under qemu-user): the library is
loaded from the jar, shell and edit start an aarch64 program that reports its argv, and a program
that cannot be loaded still gives a pid. The aarch64 programs the VM starts reach qemu through
binfmt_misc, which scripts/test registers for the run."""
import os
import re
import subprocess
import tempfile
import unittest

BUILD_DIR = os.environ["VOKRANE_BUILD_DIR"]
SOURCE_DIR = os.environ["VOKRANE_SOURCE_DIR"]
JRE = os.path.join(SOURCE_DIR, "build/aarch64-jre")
JAVA = os.path.join(JRE, "usr/lib/jvm/java-17-openjdk-arm64/bin/java")
CLASS_PATH = os.path.join(BUILD_DIR, "vokrane.jar") + ":" + os.path.join(BUILD_DIR, "java/vokrane-tests.jar")


def emulated_vm(main, *args, environment=None):
    """Runs `main` on the aarch64 VM with nothing on java.library.path, so the jar's copy is loaded."""
    return subprocess.run(["qemu-aarch64-static", "-L", JRE, JAVA, "-Djava.library.path=/nonexistent",
                           "-cp", CLASS_PATH, main, *args], capture_output=True, text=True, timeout=120,
                          env=dict(os.environ, QEMU_LD_PREFIX=JRE, **(environment or {})))


class EmulatedAarch64Vm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Without it the VM's children could not run, and nothing here would be tested.
        if not os.path.exists("/proc/sys/fs/binfmt_misc/qemu-aarch64"):
            raise AssertionError("binfmt_misc has no qemu-aarch64 entry: run through scripts/test")
        cls.scratch = tempfile.TemporaryDirectory()
        cls.recorder = os.path.join(cls.scratch.name, "argv_recorder")
        subprocess.run(["aarch64-linux-gnu-gcc", "-O2", "-o", cls.recorder,
                        os.path.join(SOURCE_DIR, "native/tests/argv_recorder.c")], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def recorded(self):
        with open(os.path.join(self.scratch.name, "record"), "rb") as f:
            return f.read().split(b"\0")[:-1]

    def test_the_library_is_the_jars_aarch64_copy(self):
        vm = emulated_vm("com.vok.LoadReport")
        self.assertEqual(vm.returncode, 0, vm.stderr)
        self.assertRegex(vm.stdout, r"^pid [1-9][0-9]*\nfrom the copy packed in .*/vokrane-[0-9.]+\.jar as "
                         r"com/vok/native/linux-aarch64/libvokrane\.so\nmapped /tmp/vokrane-[0-9]+/libvokrane\.so \(deleted\)\n$")

    def test_shell_and_edit_start_an_aarch64_program_with_its_argv(self):
        record = {"RECORD_FILE": os.path.join(self.scratch.name, "record")}
        for args in ([self.recorder], [self.recorder, "notes.txt"]):
            vm = emulated_vm("com.vok.CallOnce", *args, environment=record)
            self.assertEqual(vm.returncode, 0, vm.stderr)
            pid = vm.stdout.strip()
            self.assertRegex(pid, r"^[1-9][0-9]*$")
            self.assertEqual(self.recorded(), [pid.encode()] + [arg.encode() for arg in args])

    def test_a_program_that_cannot_be_loaded_still_gives_a_pid(self):
        vm = emulated_vm("com.vok.CallOnce", "/nonexistent/program")
        self.assertEqual(vm.returncode, 0, vm.stderr)
        self.assertRegex(vm.stdout, r"^[1-9][0-9]*\n$")
        # qemu adds a line of its own when the emulated child aborts.
        self.assertTrue(vm.stderr.startswith("an error occurred in execvp\n"), vm.stderr)


if __name__ == "__main__":
    unittest.main()
