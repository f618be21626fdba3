// A new directory of this user's alone under java.io.tmpdir, made only where no other user can rename it away.
package com.vok;

import java.io.IOException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Set;

final class PrivateDirectories {
    private PrivateDirectories() {}

    /**
     * {@code java.io.tmpdir}, made absolute, once it is known that no other user can rename away
     * what is made in it: private, or sticky as {@code /tmp} is. Elsewhere another user could
     * {@code hazard}, and the message says so.
     */
    static Path temporaryDirectory(String hazard) throws IOException {
        String temporary = System.getProperty("java.io.tmpdir");
        Path parent;
        try {
            parent = Path.of(temporary).toAbsolutePath();
        } catch (InvalidPathException e) {
            throw new IOException("java.io.tmpdir=" + temporary + " is not a path in this VM's encoding of file names");
        }
        int mode = (Integer) Files.getAttribute(parent, "unix:mode");
        if ((mode & 022) != 0 && (mode & 01000) == 0) {
            throw new IOException("java.io.tmpdir=" + parent + " may be written by other users and is not sticky, so"
                    + " another user could " + hazard + "; set java.io.tmpdir to a private directory, or one with the sticky bit");
        }
        return parent;
    }

    /** Why writing into {@code parent} failed, naming it and how to choose another. */
    static IOException cannotWrite(Path parent, IOException why) {
        return new IOException("cannot write into java.io.tmpdir=" + parent + " (" + why.getMessage() + "):"
                + " -Djava.io.tmpdir chooses another directory", why);
    }

    // Makes a new directory in `parent` that only its owner may enter, whatever the umask. Unlike
    // Files.createTempDirectory, it needs no SecureRandom, whose start-up costs a fresh VM 25 ms or
    // more: the name need not be secret, since mkdir fails on any name that is already taken. (Nor
    // ProcessHandle, whose lambdas cost a fresh VM milliseconds more; nor an EnumSet, whose first use
    // reflects on the enum, which from JDK 18 on spins method handles.)
    static Path create(Path parent, String prefix) throws IOException {
        Set<PosixFilePermission> ownerOnly = Set.of(PosixFilePermission.OWNER_READ,
                PosixFilePermission.OWNER_WRITE, PosixFilePermission.OWNER_EXECUTE);
        FileAttribute<Set<PosixFilePermission>> mode = PosixFilePermissions.asFileAttribute(ownerOnly);
        for (int attempt = 0;; attempt++) {
            try {
                return Files.createDirectory(parent.resolve(prefix + System.nanoTime()), mode);
            } catch (FileAlreadyExistsException taken) {
                if (attempt == 99) throw cannotWrite(parent, taken);
            } catch (IOException e) {
                throw cannotWrite(parent, e);
            }
        }
    }
}
