// The copy of libvokrane.so packed in the jar for this platform: extracted safely, checked, loaded, removed.
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
import java.security.CodeSource;
import java.util.jar.JarFile;
import java.util.zip.CRC32;
import java.util.zip.ZipEntry;

final class PackedCopy {
    private PackedCopy() {}

    // A library stays mapped once loaded, so its file and directory can go at once. The directory
    // is the owner's alone, and the temporary directory it is made in lets no other user rename it
    // away (private, or sticky as /tmp is), so no other user can swap the file before it is loaded.
    // The copy is checked against the size and CRC-32 packed beside it: a damaged library would
    // crash the VM in the dynamic loader.
    static String load(String resource) throws IOException {
        Path parent = PrivateDirectories.temporaryDirectory("put a library of theirs where the copy is loaded from");
        Path directory = PrivateDirectories.create(parent, "vokrane-");
        Path library = directory.resolve("libvokrane.so");
        try {
            String source;
            try {
                source = copyPackedLibrary(resource, library);
            } catch (FileNotFoundException notPacked) {
                throw notPacked;
            } catch (IOException e) {
                throw PrivateDirectories.cannotWrite(parent, e);
            }
            try {
                System.load(library.toString());
            } catch (UnsatisfiedLinkError e) {
                if (!String.valueOf(e.getMessage()).contains("failed to map segment")) throw e;
                throw new UnsatisfiedLinkError(e.getMessage() + " (java.io.tmpdir=" + parent + " may be on a file system"
                        + " mounted noexec: set java.io.tmpdir to a directory whose programs may run)");
            }
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
        CodeSource source = PackedCopy.class.getProtectionDomain().getCodeSource();
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
        return "the copy packed with these classes as " + PackedCopy.class.getResource(resource);
    }

    private static InputStream packed(JarFile jar, String resource) throws IOException {
        ZipEntry entry = jar.getEntry(resource.substring(1));
        if (entry == null) throw new FileNotFoundException(jar.getName() + " has no " + resource.substring(1));
        return jar.getInputStream(entry);
    }

    private static InputStream packed(String resource) throws IOException {
        InputStream stream = PackedCopy.class.getResourceAsStream(resource);
        if (stream == null) throw new FileNotFoundException("no " + resource + " is packed with these classes");
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
        // A new file (O_EXCL: never one found in its place, nor through a link), the owner's alone
        // before anything is written; java.io, whose classes a fresh VM has loaded already.
        File file = to.toFile();
        if (!file.createNewFile()) throw new FileAlreadyExistsException(to.toString());
        boolean ownerOnly = file.setReadable(false, false) && file.setWritable(false, false)
                && file.setReadable(true, true) && file.setWritable(true, true);
        if (!ownerOnly) throw new IOException("cannot make " + to + " the owner's alone");
        try (from; OutputStream out = new FileOutputStream(file)) {
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

}
