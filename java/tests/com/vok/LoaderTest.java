// Each place the library is loaded from, in order, and the error when there is none.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class LoaderTest {
    private static final String NOWHERE = "-Djava.library.path=/nonexistent";

    @TempDir Path tmp;

    private static Built.Run loadReport(Path jar, String... options) throws Exception {
        return loadReportIn(Path.of("."), jar, options);
    }

    private static Built.Run loadReportIn(Path directory, Path jar, String... options) throws Exception {
        return Built.run(new ProcessBuilder(Built.vm(jar + ":" + Built.TEST_CLASSES, List.of(options), "com.vok.LoadReport"))
                .directory(directory.toFile()));
    }

    /** Checks what the report says of a load from {@code from} that mapped {@code mapped} (patterns both). */
    private static void assertLoadedFrom(String from, String mapped, Built.Run run) {
        assertEquals(0, run.exitCode(), run.err());
        assertTrue(run.out().matches("(?s)pid [1-9][0-9]*\nfrom " + from + "\nmapped " + mapped + "\n"), run.out());
    }

    private static void assertLoadedFrom(String file, Built.Run run) {
        assertLoadedFrom(file, file, run);
    }

    private static final String PACKED_IN_JAR = "the copy packed in " + Pattern.quote(Built.JAR.toString())
            + " as com/vok/native/linux-x86_64/libvokrane\\.so";

    @Test
    void thePropertyNamesTheFileAndWinsOverEverythingElse() throws Exception {
        Built.Run run = loadReport(Built.JAR, "-Dcom.vok.library.path=" + Built.LIBRARY, NOWHERE);
        assertLoadedFrom(Pattern.quote(Built.LIBRARY.toString()), run);
        // A relative name is the working directory's file, and is reported as a whole path.
        run = loadReportIn(Built.LIBRARY.getParent(), Built.JAR, "-Dcom.vok.library.path=libvokrane.so", NOWHERE);
        assertLoadedFrom(Pattern.quote(Built.LIBRARY.toString()), run);
    }

    @Test
    void aPropertyNamingNoLibraryFailsWithoutTryingElsewhereAndSaysWhatItNames() throws Exception {
        Path text = Files.writeString(tmp.resolve("notes.txt"), "not a library\n");
        Object[][] cases = {  // the property, what the error says of it
            {"/nonexistent/libvokrane.so", "no such file, where"},
            // Another version's library, or another library: refused before it is loaded.
            {Built.OLDER_LIBRARY.toString(), Pattern.quote(Built.OLDER_LIBRARY.toString()) + " is not the libvokrane\\.so of this jar"
                + " \\(version [0-9.]+\\): it lacks Java_com_vok_LinuxNative_beginTerminalCall,"
                + " Java_com_vok_LinuxNative_endTerminalCall \\(a library of another version\\?\\)"},
            {System.getProperty("vokrane.chainedHandlers"), ".* is not the libvokrane\\.so of this jar \\(version [0-9.]+\\): it"
                + " lacks Java_com_vok_LinuxNative_shell, .* \\(not libvokrane at all\\?\\)"},
            {"", "the property is empty, where a path to libvokrane\\.so was expected"},
            {tmp.toString(), "it is a directory, where"},
            {Files.createFile(tmp.resolve("empty.so")).toString(), "it is an empty file, where"},
            {text.toString(), "it is not a shared library \\(no ELF header\\), where"},
        };
        for (Object[] c : cases) {
            Built.Run run = loadReport(Built.JAR, "-Dcom.vok.library.path=" + c[0]);
            assertNotEquals(0, run.exitCode());
            assertTrue(Pattern.compile("from com.vok.library.path=" + Pattern.quote((String) c[0]) + ": " + c[1]).matcher(run.err()).find(),
                    run.err());
            assertFalse(run.err().contains("execstack"), run.err());
        }
    }

    @Test
    void javaLibraryPathComesBeforeThePackedCopy() throws Exception {
        Built.Run run = loadReport(Built.JAR, "-Djava.library.path=" + Built.LIBRARY.getParent());
        assertLoadedFrom(Pattern.quote(Built.LIBRARY.toString()), run);
        // An empty entry is the working directory, as for loadLibrary.
        run = loadReportIn(Built.LIBRARY.getParent(), Built.JAR, "-Djava.library.path=/nonexistent:");
        assertLoadedFrom(Pattern.quote(Built.LIBRARY.toString()), run);
        // Another version's library is passed over, and named where nothing else loads.
        run = loadReport(Built.JAR, "-Djava.library.path=" + Built.OLDER_LIBRARY.getParent() + ":" + Built.LIBRARY.getParent());
        assertLoadedFrom(Pattern.quote(Built.LIBRARY.toString()), run);
        run = loadReport(Built.JAR_WITHOUT_LIBRARY, "-Djava.library.path=" + Built.OLDER_LIBRARY.getParent());
        assertTrue(run.err().contains("  java.library.path=" + Built.OLDER_LIBRARY.getParent() + ": refused " + Built.OLDER_LIBRARY
                + " is not the libvokrane.so of this jar"), run.err());
    }

    @Test
    void thePackedCopyIsExtractedIntoAPrivateDirectoryLoadedAndRemoved() throws Exception {
        // Under umask 0 the mode given to mkdir and open is the file's mode; strace shows what was given.
        Path trace = Files.createTempFile("vokrane-mkdir", ".trace");
        List<String> command = new ArrayList<>(List.of("sh", "-c",
                "umask 0 && exec strace -f -qq -e trace=mkdir,mkdirat,openat,chmod -o \"$0\" \"$@\"", trace.toString()));
        command.addAll(Built.vm(Built.JAR + ":" + Built.TEST_CLASSES, List.of(NOWHERE, "-Djava.io.tmpdir=" + tmp),
                "com.vok.LoadReport"));
        Built.Run run = Built.run(new ProcessBuilder(command));
        List<String> made = Files.readAllLines(trace).stream()
                .filter(line -> line.contains(tmp + "/vokrane") && !line.contains("O_RDONLY")).toList();
        Files.delete(trace);
        assertLoadedFrom(PACKED_IN_JAR, Pattern.quote(tmp.toString()) + "/vokrane[^/]*/libvokrane\\.so \\(deleted\\)", run);
        assertEquals(7, made.size(), made.toString());
        assertTrue(made.get(0).matches(".*mkdir(at)?\\(.*\"" + Pattern.quote(tmp.toString()) + "/vokrane[^\"/]*\", 0700\\) = 0"),
                made.get(0));
        // O_EXCL: a new file, never one put in its place, nor through a link; the owner's alone before it is written.
        assertTrue(made.get(1).matches(".*openat\\(.*/libvokrane\\.so\", O_RDWR\\|O_CREAT\\|O_EXCL, 0666\\) = [0-9]+"),
                made.get(1));
        assertTrue(made.get(5).matches(".*chmod\\(.*/libvokrane\\.so\", 0100600\\) = 0"), made.get(5));
        assertTrue(made.get(6).matches(".*openat\\(.*/libvokrane\\.so\", O_WRONLY.*"), made.get(6));
        try (var left = Files.list(tmp)) {
            assertEquals(List.of(), left.toList());
        }
        // Where another user could change the directory or one above it, they could swap the copy.
        for (String[] untrusted : Built.untrustedTemporaryDirectories(tmp)) {
            run = loadReport(Built.JAR, NOWHERE, "-Djava.io.tmpdir=" + untrusted[0]);
            assertTrue(run.err().contains("java.io.tmpdir=" + untrusted[0] + untrusted[1]), run.err());
            assertEquals(List.of(), Files.list(Path.of(untrusted[0])).toList());
        }
        // One that cannot be written into is named, with the way to choose another.
        Path file = Files.createFile(tmp.resolve("a-file"));
        run = loadReport(Built.JAR, NOWHERE, "-Djava.io.tmpdir=" + file);
        assertTrue(run.err().contains("cannot write into java.io.tmpdir=" + file + " (") && run.err().contains(
                "): -Djava.io.tmpdir chooses another directory"), run.err());
    }

    @Test
    void aPackedCopyOutsideAJarFileIsFoundThroughTheClassLoader() throws Exception {
        Path classes = Files.createDirectory(tmp.resolve("classes"));
        try (var jar = new java.util.jar.JarFile(Built.JAR.toFile())) {
            for (var entry : java.util.Collections.list(jar.entries())) {
                Path target = classes.resolve(entry.getName());
                if (entry.isDirectory()) {
                    Files.createDirectories(target);
                } else {
                    Files.createDirectories(target.getParent());
                    Files.copy(jar.getInputStream(entry), target);
                }
            }
        }
        Path extracted = Files.createDirectory(tmp.resolve("extracted"));
        Built.Run run = loadReport(classes, NOWHERE, "-Djava.io.tmpdir=" + extracted);
        assertLoadedFrom("the copy packed with these classes as file:" + Pattern.quote(classes.toString())
                + "/com/vok/native/linux-x86_64/libvokrane\\.so",
                Pattern.quote(extracted.toString()) + "/vokrane[^/]*/libvokrane\\.so \\(deleted\\)", run);
    }

    @Test
    void aDamagedPackedCopyIsRefusedWithNothingLeftAndARelativeTemporaryDirectoryWorks() throws Exception {
        // Cut short, and one byte changed, which only the CRC-32 tells.
        Path cut = tmp.resolve("cut.jar");
        Path flipped = tmp.resolve("flipped.jar");
        for (Path damaged : List.of(cut, flipped)) {
            try (var jar = new java.util.jar.JarFile(Built.JAR.toFile());
                    var out = new java.util.jar.JarOutputStream(Files.newOutputStream(damaged))) {
                for (var entry : java.util.Collections.list(jar.entries())) {
                    byte[] bytes = jar.getInputStream(entry).readAllBytes();
                    if (entry.getName().equals("com/vok/native/linux-x86_64/libvokrane.so")) {
                        if (damaged == cut) bytes = java.util.Arrays.copyOf(bytes, bytes.length / 2);
                        else bytes[bytes.length / 2] ^= 1;
                    }
                    out.putNextEntry(new java.util.zip.ZipEntry(entry.getName()));
                    out.write(bytes);
                }
            }
        }
        Path relative = Files.createDirectory(tmp.resolve("relative"));
        for (Path jar : List.of(cut, flipped, Built.JAR)) {
            ProcessBuilder vm = new ProcessBuilder(Built.vm(jar + ":" + Built.TEST_CLASSES,
                    List.of(NOWHERE, "-Djava.io.tmpdir=relative"), "com.vok.LoadReport")).directory(tmp.toFile());
            Built.Run run = Built.run(vm);
            if (jar != Built.JAR) {
                assertEquals(1, run.exitCode(), run.err());
                assertTrue(run.err().matches("(?s).*  jar resource /com/vok/native/linux-x86_64/libvokrane.so: java.lang."
                        + "UnsatisfiedLinkError: the packed copy is damaged: its size and CRC-32 are [0-9]+ [0-9a-f]{8},"
                        + " where the jar recorded [0-9]+ [0-9a-f]{8}\n.*"), run.err());
            } else {
                assertLoadedFrom(PACKED_IN_JAR, Pattern.quote(relative.toString()) + "/vokrane[^/]*/libvokrane\\.so \\(deleted\\)", run);
            }
            try (var left = Files.list(relative)) {
                assertEquals(List.of(), left.toList());
            }
        }
    }

    @Test
    void thePackedCopyIsPickedByOsArchAndAnotherPlatformIsNamedInTheError() throws Exception {
        // Told it runs on aarch64, the VM picks that platform's copy, which an x86-64 VM cannot load.
        assertLoadedFrom(PACKED_IN_JAR, ".*\\(deleted\\)", loadReport(Built.JAR, NOWHERE, "-Dos.arch=x86_64"));
        Built.Run run = loadReport(Built.JAR, NOWHERE, "-Dos.arch=aarch64");
        assertTrue(run.err().contains("  jar resource /com/vok/native/linux-aarch64/libvokrane.so: "
                + "java.lang.UnsatisfiedLinkError: "), run.err());
        // A processor the jar has no copy for: the other places are still tried, and every platform named.
        run = loadReport(Built.JAR, NOWHERE, "-Dos.arch=sparcv9");
        assertTrue(run.err().contains("  the jar's copies: there are copies for linux-x86_64 (os.arch amd64 or x86_64), "
                + "linux-x86_64-musl (amd64 or x86_64, with musl), linux-aarch64 (aarch64), linux-aarch64-musl (aarch64, with musl), "
                + "linux-x86 (x86, or i386 to i686), "
                + "linux-arm (arm, hard float), linux-armel (arm, soft float), linux-ppc64le (ppc64le), linux-s390x (s390x), "
                + "linux-riscv64 (riscv64) only"), run.err());
        assertLoadedFrom(Pattern.quote(Built.LIBRARY.toString()),
                loadReport(Built.JAR, NOWHERE, "-Dos.arch=sparcv9", "-Dcom.vok.library.path=" + Built.LIBRARY));
        run = loadReport(Built.JAR, NOWHERE, "-Dos.name=Mac OS X");
        assertTrue(run.err().contains(" only, not for os.name=Mac OS X, os.arch=amd64"), run.err());
    }

    @Test
    void armhfFromArmelAndMuslFromGlibcAreToldApartByTheVmsExecutable() throws Exception {
        Object[][] cases = {  // os.arch, e_flags of a 32-bit little-endian executable, platform
            {"arm", 0x05000400, "linux-arm"}, {"arm", 0x05000200, "linux-armel"}, {"arm", 0x05000000, null},
            {"i686", 0, "linux-x86"}, {"ppc64le", 0, "linux-ppc64le"}, {"s390x", 0, "linux-s390x"}, {"sparcv9", 0, null},
        };
        for (Object[] c : cases) {
            byte[] header = new byte[64];
            header[4] = 1;
            header[5] = 1;
            java.nio.ByteBuffer.wrap(header, 36, 4).order(java.nio.ByteOrder.LITTLE_ENDIAN).putInt((Integer) c[1]);
            assertEquals(c[2], Platforms.of((String) c[0], header), c[0] + " " + c[1]);
        }
        assertEquals(null, Platforms.of("arm", new byte[64]), "a 64-bit or unreadable executable tells nothing");
        // glibc from musl by the interpreter a real program of each names, as the kernel reads it.
        String musl = System.getProperty("vokrane.muslCaller");
        for (String[] c : new String[][] {{"amd64", "/bin/true", "linux-x86_64"}, {"amd64", musl, "linux-x86_64-musl"},
                {"aarch64", "/bin/true", "linux-aarch64"}, {"aarch64", musl, "linux-aarch64-musl"}}) {
            byte[] headers = java.util.Arrays.copyOf(Files.readAllBytes(Path.of(c[1])), 4096);
            assertEquals(c[2], Platforms.of(c[0], headers), c[0] + " " + c[1]);
        }
    }

    @Test
    void thisVmMappedTheLibraryJustBuiltAndNoOther() throws Exception {
        assertTrue(LinuxNative.shell("true") > 0);
        try (var maps = Files.lines(Path.of("/proc/self/maps"))) {
            List<String> mapped = maps.filter(line -> line.endsWith("/libvokrane.so"))
                    .map(line -> line.substring(line.indexOf('/'))).distinct().toList();
            assertEquals(List.of(Built.LIBRARY.toString()), mapped);
        }
    }

    @Test
    void whereNativeAccessIsDeniedTheErrorNamesTheFlag() throws Exception {
        assumeTrue(Runtime.version().feature() >= 24, "--illegal-native-access came with JDK 24");
        Built.Run run = Built.run(new ProcessBuilder(Built.JAVA, "--illegal-native-access=deny", Built.PINNED,
                "-cp", Built.JAR + ":" + Built.TEST_CLASSES, "com.vok.LoadReport"));
        assertNotEquals(0, run.exitCode());
        assertTrue(run.err().contains("java.lang.UnsatisfiedLinkError: could not load libvokrane.so: this VM denies"
                + " native access to the class path (--illegal-native-access=deny); allow it with"
                + " --enable-native-access=ALL-UNNAMED"), run.err());
    }

    @Test
    void withNothingToLoadTheErrorNamesEveryPlaceTriedAndEveryCallCarriesIt() throws Exception {
        Built.Run run = loadReport(Built.JAR_WITHOUT_LIBRARY, NOWHERE);
        assertNotEquals(0, run.exitCode());
        assertEquals("unavailable; again: the same; where from: the same\nfirst call: UnsatisfiedLinkError, the loader's error\n"
                + "next call: NoClassDefFoundError, the loader's error\n", run.out());
        for (String place : List.of("java.lang.UnsatisfiedLinkError: could not load libvokrane.so (os.name=Linux, os.arch=amd64); tried:",
                "  com.vok.library.path: not set",
                "  java.library.path=/nonexistent: no libvokrane.so in any of its directories",
                "  jar resource /com/vok/native/linux-x86_64/libvokrane.so: java.io.FileNotFoundException: " + Built.JAR_WITHOUT_LIBRARY
                        + " has no com/vok/native/linux-x86_64/libvokrane.so")) {
            assertTrue(run.err().contains(place), run.err());
        }
        // A loader that fails otherwise than by not finding the library is answered the same way.
        run = Built.run(new ProcessBuilder(Built.vm(Built.JAR + ":" + Built.TEST_CLASSES, List.of(NOWHERE),
                "com.vok.LoadReport", "os.arch")));
        assertTrue(run.out().startsWith("unavailable; again: the same; where from: the same\n"), run.out() + run.err());
        assertTrue(run.err().startsWith("java.lang.UnsatisfiedLinkError: could not load libvokrane.so: java.lang."), run.err());
    }
}
