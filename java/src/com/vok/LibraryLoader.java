// Finds and loads libvokrane.so for NativeLibrary, in the order LinuxNative's documentation gives.
package com.vok;

import java.io.File;
import java.io.FileNotFoundException;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.URISyntaxException;
import java.net.URL;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.CodeSource;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;
import java.util.jar.JarFile;
import java.util.zip.CRC32;
import java.util.zip.ZipEntry;

final class LibraryLoader {
    static final String PATH_PROPERTY = "com.vok.library.path";
    static final String RESOURCES = "/com/vok/native/PLATFORM/libvokrane.so";
    static final String PLATFORMS = "linux-x86_64 (os.arch amd64 or x86_64), linux-aarch64 (os.arch aarch64)";

    private LibraryLoader() {}

    /** Loads the library from the first place that has it, and returns where that was. */
    static String load() {
        try {
            return loadFirstFound();
        } catch (IllegalCallerException denied) {
            Module module = LibraryLoader.class.getModule();
            String who = module.isNamed() ? "module " + module.getName() : "the class path";
            String allowed = module.isNamed() ? module.getName() : "ALL-UNNAMED";
            throw new UnsatisfiedLinkError("could not load libvokrane.so: this VM denies native access to " + who
                    + " (--illegal-native-access=deny); allow it with --enable-native-access=" + allowed);
        }
    }

    private static String loadFirstFound() {
        String os = System.getProperty("os.name");
        String arch = System.getProperty("os.arch");
        String platform = "os.name=" + os + ", os.arch=" + arch;
        String packed = os.equals("Linux") ? packedPlatform(arch) : null;
        if (packed == null) {
            throw new UnsatisfiedLinkError("libvokrane has libraries for " + PLATFORMS + " only, not for " + platform);
        }
        String resource = RESOURCES.replace("PLATFORM", packed);
        String explicit = System.getProperty(PATH_PROPERTY);
        if (explicit != null) {
            String file = new File(explicit).getAbsolutePath();
            try {
                System.load(file);
                return file;
            } catch (UnsatisfiedLinkError e) {
                throw new UnsatisfiedLinkError("could not load libvokrane.so (" + platform + ") from "
                        + PATH_PROPERTY + "=" + explicit + ": " + e.getMessage());
            }
        }
        List<String> tried = new ArrayList<>();
        tried.add(PATH_PROPERTY + ": not set");
        String libraryPath = System.getProperty("java.library.path");
        try {
            return loadFromLibraryPath(libraryPath);
        } catch (UnsatisfiedLinkError e) {
            tried.add("java.library.path=" + libraryPath + ": " + e.getMessage());
        }
        try {
            return loadPackedCopy(resource);
        } catch (IOException | UnsatisfiedLinkError e) {
            tried.add("jar resource " + resource + ": " + e);
        }
        throw new UnsatisfiedLinkError("could not load libvokrane.so (" + platform + "); tried:\n  "
                + String.join("\n  ", tried));
    }

    // libvokrane.so from the first directory of `libraryPath` that has one, as System.loadLibrary
    // would load it, but knowing which file that was.
    private static String loadFromLibraryPath(String libraryPath) {
        for (String directory : libraryPath.split(File.pathSeparator)) {
            File file = new File(directory.isEmpty() ? "." : directory, "libvokrane.so").getAbsoluteFile();
            if (!file.isFile()) continue;
            System.load(file.getPath());
            return file.getPath();
        }
        throw new UnsatisfiedLinkError("no libvokrane.so in any of its directories");
    }

    // The directory of the jar's library for the VM's os.arch, or null when the jar has none.
    private static String packedPlatform(String arch) {
        switch (arch) {
            case "amd64":
            case "x86_64":
                return "linux-x86_64";
            case "aarch64":
                return "linux-aarch64";
            default:
                return null;
        }
    }

    // A library stays mapped once loaded, so its file and directory can go at once; the directory
    // is the owner's alone, so no other user can swap the file before it is loaded. The copy is
    // checked against the size and CRC-32 packed beside it: a damaged library would crash the VM in
    // the dynamic loader.
    private static String loadPackedCopy(String resource) throws IOException {
        Path directory = createPrivateDirectory(Path.of(System.getProperty("java.io.tmpdir")).toAbsolutePath());
        Path library = directory.resolve("libvokrane.so");
        try {
            String source = copyPackedLibrary(resource, library);
            System.load(library.toString());
            return source;
        } finally {
            Files.deleteIfExists(library);
            Files.delete(directory);
        }
    }

    // Copies the packed library to `target`, checked, and says where it was packed. Where this class
    // came from a jar file, the jar is read directly: a lookup through the class loader first opens
    // the JDK's own module image, which costs a fresh VM several milliseconds.
    private static String copyPackedLibrary(String resource, Path target) throws IOException {
        CodeSource source = LibraryLoader.class.getProtectionDomain().getCodeSource();
        URL location = source == null ? null : source.getLocation();
        if (location != null && location.getProtocol().equals("file") && location.getPath().endsWith(".jar")) {
            try (JarFile jar = new JarFile(Path.of(location.toURI()).toFile(), false)) {
                copyChecked(packed(jar, resource), packed(jar, resource + ".crc32"), target);
                return "the copy packed in " + jar.getName() + " as " + resource.substring(1);
            } catch (URISyntaxException e) {
                throw new IOException(e);
            }
        }
        copyChecked(packed(resource), packed(resource + ".crc32"), target);
        return "the copy packed with these classes as " + LibraryLoader.class.getResource(resource);
    }

    private static InputStream packed(JarFile jar, String resource) throws IOException {
        ZipEntry entry = jar.getEntry(resource.substring(1));
        if (entry == null) throw new FileNotFoundException("not packed with these classes");
        return jar.getInputStream(entry);
    }

    private static InputStream packed(String resource) throws IOException {
        InputStream stream = LibraryLoader.class.getResourceAsStream(resource);
        if (stream == null) throw new FileNotFoundException("not packed with these classes");
        return stream;
    }

    // Copies `from` to `to`, refusing a copy whose size or CRC-32 differs from the "size crc" line
    // of `check`.
    private static void copyChecked(InputStream from, InputStream check, Path to) throws IOException {
        String expected;
        try (check) {
            expected = new String(check.readAllBytes()).strip();  // ASCII, in the default charset as in any
        }
        CRC32 crc = new CRC32();
        long size = 0;
        try (from; OutputStream out = new FileOutputStream(to.toFile())) {
            byte[] buffer = new byte[16384];
            for (int n; (n = from.read(buffer)) > 0; size += n) {
                crc.update(buffer, 0, n);
                out.write(buffer, 0, n);
            }
        }
        String hex = Long.toHexString(crc.getValue());  // not String.format, which costs a fresh VM milliseconds
        String actual = size + " " + "00000000".substring(hex.length()) + hex;
        if (!actual.equals(expected)) {
            throw new UnsatisfiedLinkError("the packed copy is damaged: its size and CRC-32 are " + actual
                    + ", where the jar recorded " + expected);
        }
    }

    // Makes a new directory in `parent` that only its owner may enter, whatever the umask. Unlike
    // Files.createTempDirectory, it needs no SecureRandom, whose start-up costs a fresh VM 25 ms or
    // more: the name need not be secret, since mkdir fails on any name that is already taken. (Nor
    // ProcessHandle, whose lambdas cost a fresh VM milliseconds more; nor an EnumSet, whose first use
    // reflects on the enum, which from JDK 18 on spins method handles.)
    static Path createPrivateDirectory(Path parent) throws IOException {
        Set<PosixFilePermission> ownerOnly = Set.of(PosixFilePermission.OWNER_READ,
                PosixFilePermission.OWNER_WRITE, PosixFilePermission.OWNER_EXECUTE);
        FileAttribute<Set<PosixFilePermission>> mode = PosixFilePermissions.asFileAttribute(ownerOnly);
        for (int attempt = 0;; attempt++) {
            try {
                return Files.createDirectory(parent.resolve("vokrane-" + System.nanoTime()), mode);
            } catch (FileAlreadyExistsException taken) {
                if (attempt == 99) throw taken;
            }
        }
    }
}
