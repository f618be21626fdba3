// Finds and loads libvokrane.so for NativeLibrary, in the order LinuxNative's documentation gives.
package com.vok;

import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;
import java.net.URISyntaxException;
import java.nio.file.Path;
import java.security.CodeSource;
import java.util.ArrayList;
import java.util.List;
import java.util.jar.JarFile;

final class LibraryLoader {
    static final String PATH_PROPERTY = "com.vok.library.path";
    static final String RESOURCES = "/com/vok/native/PLATFORM/libvokrane.so";
    // What this jar's LinuxNative binds: a libvokrane.so without all of them is another version's.
    static final List<String> ENTRY_POINTS = List.of("Java_com_vok_LinuxNative_shell", "Java_com_vok_LinuxNative_edit",
            "Java_com_vok_LinuxNative_beginTerminalCall", "Java_com_vok_LinuxNative_endTerminalCall");

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
        if (!os.equals("Linux")) {
            throw new UnsatisfiedLinkError("libvokrane has libraries for " + Platforms.PACKED + " only, not for " + platform);
        }
        // Any Linux processor: a library built for it by hand is the user's to name.
        String explicit = System.getProperty(PATH_PROPERTY);
        if (explicit != null) {
            String file = new File(explicit).getAbsolutePath();
            try {
                System.load(checkedLibrary(explicit, file));
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
        String packed = Platforms.of(arch);
        if (packed == null) {
            tried.add("the jar's copies: there are copies for " + Platforms.PACKED + " only");
        } else {
            String resource = RESOURCES.replace("PLATFORM", packed);
            try {
                return PackedCopy.load(resource);
            } catch (IOException | UnsatisfiedLinkError e) {
                tried.add("jar resource " + resource + ": " + e);
            }
        }
        throw new UnsatisfiedLinkError("could not load libvokrane.so (" + platform + "); tried:\n  "
                + String.join("\n  ", tried));
    }

    // The file the property names, once it is this jar's library: the VM's own error for one that
    // is not says little of why, an empty property would load the working directory, and a library
    // of another version loads but fails at its first call.
    private static String checkedLibrary(String explicit, String file) {
        File named = new File(file);
        String what = null;
        if (explicit.isEmpty()) what = "the property is empty";
        else if (!named.exists()) what = "no such file";
        else if (named.isDirectory()) what = "it is a directory";
        else if (named.isFile() && named.length() == 0) what = "it is an empty file";
        else if (named.isFile() && !startsWithElfMagic(file)) what = "it is not a shared library (no ELF header)";
        if (what != null) throw new UnsatisfiedLinkError(what + ", where a path to libvokrane.so was expected");
        checkEntryPoints(named);
        return file;
    }

    private static boolean startsWithElfMagic(String file) {
        byte[] magic = new byte[4];
        try (FileInputStream in = new FileInputStream(file)) {
            return in.readNBytes(magic, 0, 4) == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
        } catch (IOException unreadable) {
            return true;  // the VM's own error says why
        }
    }

    // Refuses a library that lacks what this jar's LinuxNative binds, before it is loaded.
    private static void checkEntryPoints(File library) {
        List<String> missing;
        try {
            missing = ElfExports.missing(library.toPath(), ENTRY_POINTS);
        } catch (IOException unreadable) {
            return;  // the VM's own error says why
        }
        if (missing.isEmpty()) return;
        throw new UnsatisfiedLinkError(library + " is not the libvokrane.so of this jar (version " + jarVersion() + "): it lacks " + String.join(", ", missing)
                + (missing.size() < ENTRY_POINTS.size() ? " (a library of another version?)" : " (not libvokrane at all?)"));
    }

    // The version in the manifest of the jar these classes came from: the package's own may have
    // been defined by another jar of the same package.
    private static String jarVersion() {
        try {
            CodeSource source = LibraryLoader.class.getProtectionDomain().getCodeSource();
            try (JarFile jar = new JarFile(Path.of(source.getLocation().toURI()).toFile(), false)) {
                String version = jar.getManifest().getMainAttributes().getValue("Implementation-Version");
                if (version != null) return version;
            }
        } catch (IOException | URISyntaxException | RuntimeException notAJar) {
            // unknown, then
        }
        return "unknown";
    }

    // libvokrane.so from the first directory of `libraryPath` that has one, as System.loadLibrary
    // would load it, but knowing which file that was.
    private static String loadFromLibraryPath(String libraryPath) {
        List<String> refused = new ArrayList<>();
        for (String directory : libraryPath.split(File.pathSeparator, -1)) {
            // An empty entry is the working directory, as for loadLibrary.
            File file = (directory.isEmpty() ? new File("libvokrane.so") : new File(directory, "libvokrane.so")).getAbsoluteFile();
            if (!file.isFile()) continue;
            try {
                checkEntryPoints(file);
            } catch (UnsatisfiedLinkError anotherVersion) {
                refused.add(anotherVersion.getMessage());
                continue;
            }
            System.load(file.getPath());
            return file.getPath();
        }
        throw new UnsatisfiedLinkError(refused.isEmpty() ? "no libvokrane.so in any of its directories"
                : "refused " + String.join("; ", refused) + ", and found no other");
    }
}
