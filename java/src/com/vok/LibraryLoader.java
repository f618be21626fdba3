// Finds and loads libvokrane.so for LinuxNative, in the order its documentation gives.
package com.vok;

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
import java.util.EnumSet;
import java.util.List;
import java.util.Set;
import java.util.jar.JarFile;
import java.util.zip.ZipEntry;

final class LibraryLoader {
    static final String PATH_PROPERTY = "com.vok.library.path";
    static final String RESOURCES = "/com/vok/native/PLATFORM/libvokrane.so";
    static final String PLATFORMS = "linux-x86_64 (os.arch amd64 or x86_64), linux-aarch64 (os.arch aarch64)";

    private LibraryLoader() {}

    static void load() {
        try {
            loadFirstFound();
        } catch (IllegalCallerException denied) {
            Module module = LibraryLoader.class.getModule();
            String who = module.isNamed() ? "module " + module.getName() : "the class path";
            String allowed = module.isNamed() ? module.getName() : "ALL-UNNAMED";
            throw new UnsatisfiedLinkError("could not load libvokrane.so: this VM denies native access to " + who
                    + " (--illegal-native-access=deny); allow it with --enable-native-access=" + allowed);
        }
    }

    private static void loadFirstFound() {
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
            try {
                System.load(explicit);
                return;
            } catch (UnsatisfiedLinkError e) {
                throw new UnsatisfiedLinkError("could not load libvokrane.so (" + platform + ") from "
                        + PATH_PROPERTY + "=" + explicit + ": " + e.getMessage());
            }
        }
        List<String> tried = new ArrayList<>();
        tried.add(PATH_PROPERTY + ": not set");
        try {
            System.loadLibrary("vokrane");
            return;
        } catch (UnsatisfiedLinkError e) {
            tried.add("java.library.path=" + System.getProperty("java.library.path") + ": " + e.getMessage());
        }
        try {
            loadPackedCopy(resource);
            return;
        } catch (IOException | UnsatisfiedLinkError e) {
            tried.add("jar resource " + resource + ": " + e);
        }
        throw new UnsatisfiedLinkError("could not load libvokrane.so (" + platform + "); tried:\n  "
                + String.join("\n  ", tried));
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
    // is the owner's alone, so no other user can swap the file before it is loaded.
    private static void loadPackedCopy(String resource) throws IOException {
        Path directory = createPrivateDirectory(Path.of(System.getProperty("java.io.tmpdir")));
        Path library = directory.resolve("libvokrane.so");
        try {
            copyPackedLibrary(resource, library);
            System.load(library.toString());
        } finally {
            Files.deleteIfExists(library);
            Files.delete(directory);
        }
    }

    // Copies the packed library to `target`. Where this class came from a jar file, the jar is read
    // directly: a lookup through the class loader first opens the JDK's own module image, which
    // costs a fresh VM several milliseconds.
    private static void copyPackedLibrary(String resource, Path target) throws IOException {
        CodeSource source = LibraryLoader.class.getProtectionDomain().getCodeSource();
        URL location = source == null ? null : source.getLocation();
        if (location != null && location.getProtocol().equals("file") && location.getPath().endsWith(".jar")) {
            try (JarFile jar = new JarFile(Path.of(location.toURI()).toFile(), false)) {
                ZipEntry entry = jar.getEntry(resource.substring(1));
                if (entry == null) throw new FileNotFoundException("not packed with these classes");
                copy(jar.getInputStream(entry), target);
            } catch (URISyntaxException e) {
                throw new IOException(e);
            }
        } else {
            InputStream packed = LibraryLoader.class.getResourceAsStream(resource);
            if (packed == null) throw new FileNotFoundException("not packed with these classes");
            copy(packed, target);
        }
    }

    private static void copy(InputStream from, Path to) throws IOException {
        try (from; OutputStream out = new FileOutputStream(to.toFile())) {
            from.transferTo(out);
        }
    }

    // Makes a new directory in `parent` that only its owner may enter, whatever the umask. Unlike
    // Files.createTempDirectory, it needs no SecureRandom, whose start-up costs a fresh VM 25 ms or
    // more: the name need not be secret, since mkdir fails on any name that is already taken. (Nor
    // ProcessHandle, whose lambdas cost a fresh VM milliseconds more.)
    static Path createPrivateDirectory(Path parent) throws IOException {
        Set<PosixFilePermission> ownerOnly = EnumSet.of(PosixFilePermission.OWNER_READ,
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
