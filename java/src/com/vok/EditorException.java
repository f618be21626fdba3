// The user's editor failed: how it ended, and where the text the user saved is kept.
package com.vok;

import java.io.IOException;
import java.nio.file.Path;
import java.util.Optional;

/**
 * Thrown by {@link Terminal#editText} when the editor did not hand back a text: it exited with a
 * status other than 0 (vim's {@code :cq}), was killed by a signal, saved what is not UTF-8, or was
 * a window editor that returned before its window closed. Whatever the user had saved is kept in a
 * file, which the message names and {@link #keptFile} gives.
 */
public class EditorException extends IOException {
    private static final long serialVersionUID = 1L;

    /** How the editor ended, as {@link #status} gives it. */
    private final int status;
    /** Where the saved text is kept; not serialised, as a path need not be. */
    private final transient Path keptFile;

    EditorException(String message, int status, Path keptFile) {
        super(message);
        this.status = status;
        this.keptFile = keptFile;
    }

    /**
     * How the editor ended.
     *
     * @return its exit status as {@link Process#waitFor} gives it: 128 + N for signal N
     */
    public int status() {
        return status;
    }

    /**
     * The file that holds what the user saved, left for the user or the tool to take up.
     *
     * @return the file, or empty when nothing was saved and the file is gone
     */
    public Optional<Path> keptFile() {
        return Optional.ofNullable(keptFile);
    }
}
