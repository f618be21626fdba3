// A new directory of this user's alone under java.io.tmpdir, made only where no other user can change the path to it.
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
     * {@code java.io.tmpdir}, as its real path, once it is known that no other user can change it or
     * any directory above it: each is owned by root or the VM's effective user, and none may be
     * written by its group or by others unless it is sticky (as {@code /tmp} is), where only its
     * owners may rename what is in it. Elsewhere another user could {@code hazard}, and the
     * message names the directory that fails and why.
     */
    static Path temporaryDirectory(String hazard) throws IOException {
        String temporary = System.getProperty("java.io.tmpdir");
        Path parent;
        try {
            parent = Path.of(temporary).toAbsolutePath();
        } catch (InvalidPathException e) {
            throw new IOException("java.io.tmpdir=" + temporary + " is not a path in this VM's encoding of file names");
        }
        Path real;
        try {
            real = parent.toRealPath();
        } catch (IOException e) {
            throw cannotWrite(parent, e);
        }
        int me = Users.effective();
        for (Path directory = real; directory != null; directory = directory.getParent()) {
            String why = whyOthersCanChange(directory, me);
            if (why == null) continue;
            String which = directory.equals(real) ? "java.io.tmpdir=" + parent : "java.io.tmpdir=" + parent
                    + " lies in " + directory + ", which";
            throw new IOException(which + " " + why + ", so another user could " + hazard + "; set java.io.tmpdir to a"
                    + " directory that no other user can change, nor any directory above it");
        }
        return real;
    }

    // Why a user other than root and `me` could rename what `directory` holds, or null.
    private static String whyOthersCanChange(Path directory, int me) throws IOException {
        int owner = (Integer) Files.getAttribute(directory, "unix:uid");
        int mode = (Integer) Files.getAttribute(directory, "unix:mode");
        boolean sticky = (mode & 01000) != 0;
        if (owner != Users.ROOT && owner != me) return "belongs to another user (" + owner + ")";
        if ((mode & 02) != 0 && !sticky) return "may be written by other users and is not sticky";
        if ((mode & 020) != 0 && !sticky) return "may be written by its group and is not sticky";
        return null;
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
