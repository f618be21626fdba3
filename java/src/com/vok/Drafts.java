// The private directory a text is edited in: made where no other user can swap it, removed unless it holds something of the user's, on the VM's way out too.
package com.vok;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.Comparator;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

final class Drafts {
    // The drafts being edited, by directory, with the draft's state when the editor got it.
    private static final Map<Path, Draft> OPEN = new ConcurrentHashMap<>();
    private static boolean hooked;  // guarded by Drafts.class

    private Drafts() {}

    /** A new directory of the user's alone for a draft, in a {@code java.io.tmpdir} no other user can swap it in. */
    static Path createDirectory() throws IOException {
        Path parent = PrivateDirectories.temporaryDirectory(
                "rename the draft's directory away while the editor runs, and read or replace the text");
        return PrivateDirectories.create(parent, "vokrane-edit-");
    }

    /**
     * Notes {@code file}, just written, as the draft its directory holds, to be removed on the VM's
     * way out if nothing of the user's is in it by then; gives back its state as noted.
     */
    static FileState open(Path file) throws IOException {
        synchronized (Drafts.class) {
            if (!hooked) hooked = ExitHooks.add(Drafts::removeUntouched, "vokrane-drafts");
        }
        FileState before = FileState.of(file);
        OPEN.put(file.getParent(), new Draft(file, before));
        return before;
    }

    /** Whether the draft was saved since {@link #open}, or the editor made anything beside it (vim's swap file). */
    static boolean holdsWork(Path file) throws IOException {
        return OPEN.get(file.getParent()).holdsWork();
    }

    /** Leaves the draft's directory to the user. */
    static void keep(Path file) {
        OPEN.remove(file.getParent());
    }

    /** Removes the draft's directory and whatever the editor left in it, if it is still there. */
    static void remove(Path file) throws IOException {
        // Forgotten only once gone: should the VM end meanwhile, its way out removes the rest.
        try (Stream<Path> entries = Files.walk(file.getParent())) {
            for (Path entry : (Iterable<Path>) entries.sorted(Comparator.reverseOrder())::iterator) Files.deleteIfExists(entry);
        } catch (NoSuchFileException | UncheckedIOException gone) {
            // The editor removed it, or part of it, itself.
        }
        OPEN.remove(file.getParent());
    }

    // The VM is ending while editors run (the terminal hung up, System.exit from another thread).
    // The editors got the hang-up too: each is given a moment to write what it keeps as it dies (vim
    // its swap file), then each directory that holds nothing of the user's goes.
    private static void removeUntouched() {
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(2);
        ProcessHandle.current().children().forEach(child -> {
            try {
                child.onExit().get(Math.max(0, deadline - System.nanoTime()), TimeUnit.NANOSECONDS);
            } catch (Exception stillRunning) {
                // Then what it has written by now decides.
            }
        });
        for (Draft draft : OPEN.values()) {
            try {
                if (!draft.holdsWork()) remove(draft.file);
            } catch (IOException | RuntimeException e) {
                // Nothing more can be done on the way out.
            }
        }
    }

    private static final class Draft {
        final Path file;
        final FileState before;

        Draft(Path file, FileState before) {
            this.file = file;
            this.before = before;
        }

        boolean holdsWork() throws IOException {
            if (FileState.of(file).writtenSince(before)) return true;
            try (Stream<Path> entries = Files.list(file.getParent())) {
                return entries.anyMatch(entry -> !entry.equals(file));
            } catch (NoSuchFileException gone) {
                return false;
            }
        }
    }
}
