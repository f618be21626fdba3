// What tells whether an editor wrote a file, whatever the clock's resolution.
package com.vok;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.Map;

/**
 * What tells whether an editor wrote a file, whatever the clock's resolution: a save in place
 * changes the change time and the size or time; a save by rename, the file key.
 */
final class FileState {
    final boolean exists;
    final Map<String, Object> attributes;

    private FileState(boolean exists, Map<String, Object> attributes) {
        this.exists = exists;
        this.attributes = attributes;
    }

    static FileState of(Path file) throws IOException {
        try {
            return new FileState(true, Files.readAttributes(file, "unix:size,lastModifiedTime,fileKey,ctime"));
        } catch (NoSuchFileException gone) {
            return new FileState(false, Map.of());
        }
    }

    boolean writtenSince(FileState before) {
        return exists && (!before.exists || !attributes.equals(before.attributes));
    }
}
