"""The jar on another platform's Java VM (Debian's runtime for it, under qemu-user): the library is
loaded from the jar's copy for that platform, shell and edit start a program of that platform that
reports its argv, and a program that cannot be loaded still gives a pid. The programs the VM starts
reach qemu through binfmt_misc, which scripts/test registers for the run (for i386 only where the
kernel cannot run them itself)."""
import os
import re
import subprocess
import tempfile
import unittest

BUILD_DIR = os.environ["VOKRANE_BUILD_DIR"]
SOURCE_DIR = os.environ["VOKRANE_SOURCE_DIR"]
ARCHITECTURE = os.environ["VOKRANE_VM_ARCHITECTURE"]  # Debian's name: armhf, ppc64el, ...
TRIPLE = os.environ["VOKRANE_VM_TRIPLE"]
QEMU = os.environ["VOKRANE_VM_QEMU"]
PLATFORM = os.environ["VOKRANE_VM_PLATFORM"]  # the jar's: linux-arm, linux-ppc64le, ...
JRE = os.path.join(SOURCE_DIR, "build/jre-" + ARCHITECTURE)
JAVA = os.path.join(JRE, f"usr/lib/jvm/java-17-openjdk-{ARCHITECTURE}/bin/java")
CLASS_PATH = os.path.join(BUILD_DIR, "vokrane.jar") + ":" + os.path.join(BUILD_DIR, "java/vokrane-tests.jar")
BINFMT_ENTRY = "/proc/sys/fs/binfmt_misc/" + re.sub(r"-static$", "", QEMU)
# The VM is emulated; an i386 VM's children the kernel runs itself, unless told to hand them to qemu.
NATIVE = QEMU == "qemu-i386-static" and not os.path.exists(BINFMT_ENTRY)


def emulated_vm(main, *args, environment=None):
    """Runs `main` on the platform's VM with nothing on java.library.path, so the jar's copy is loaded."""
    return subprocess.run([QEMU, "-L", JRE, JAVA, "-Djava.library.path=/nonexistent",
                           "-cp", CLASS_PATH, main, *args], capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, QEMU_LD_PREFIX=JRE, **(environment or {})))


class EmulatedVm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Without it the VM's children could not run, and nothing here would be tested.
        if not NATIVE and not os.path.exists(BINFMT_ENTRY):
            raise AssertionError(f"binfmt_misc has no {BINFMT_ENTRY} entry: run through scripts/test")
        cls.scratch = tempfile.TemporaryDirectory()
        cls.recorder = os.path.join(cls.scratch.name, "argv_recorder")
        loader = [f"-Wl,--dynamic-linker=/usr/{TRIPLE}/lib/ld-linux.so.2"] if NATIVE else []
        subprocess.run([TRIPLE + "-gcc", "-O2", *loader, "-o", cls.recorder,
                        os.path.join(SOURCE_DIR, "native/tests/argv_recorder.c")], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def recorded(self):
        with open(os.path.join(self.scratch.name, "record"), "rb") as f:
            return f.read().split(b"\0")[:-1]

    def test_the_library_is_the_jars_copy_for_the_platform(self):
        vm = emulated_vm("com.vok.LoadReport")
        self.assertEqual(vm.returncode, 0, vm.stderr)
        self.assertRegex(vm.stdout, r"^pid [1-9][0-9]*\nfrom the copy packed in .*/vokrane-[0-9.]+\.jar as "
                         r"com/vok/native/" + PLATFORM + r"/libvokrane\.so\nmapped /tmp/vokrane-[0-9]+/libvokrane\.so \(deleted\)\n$")

    def test_shell_and_edit_start_a_program_of_the_platform_with_its_argv(self):
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
