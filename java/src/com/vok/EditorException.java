// The user's editor failed: how it ended, and where the text the user saved is kept.
package com.vok;

import java.io.IOException;
import java.nio.file.Path;
import java.util.Optional;

/**
 * Thrown by {@link Terminal#editText} when the editor did not hand back a text: it exited with a
 * status other than 0 (vim's {@code :cq}), was killed by a signal, saved what is not UTF-8, or was
 * a window editor that returned before its window closed. Whatever the user had saved is kept in a
 * file, which the message names and {@link #keptFile} gives; where nothing was saved, what may
 * still recover the text (vim's swap file after a kill) is kept with its directory, and the file a
 * window editor may still show stays, each named as such.
 */
public class EditorException extends IOException {
    private static final long serialVersionUID = 1L;

    /** How the editor ended, as {@link #status} gives it. */
    private final int status;
    /** What is kept; not serialised, as a path need not be. */
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
     * What is left for the user or the tool to take up: the file that holds what the user saved,
     * the file a window editor may still show, or the directory where a failed editor left what may
     * recover the text.
     *
     * @return the file or directory, or empty when nothing is kept
     */
    public Optional<Path> keptFile() {
        return Optional.ofNullable(keptFile);
    }
}
