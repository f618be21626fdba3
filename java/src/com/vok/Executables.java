// Whether execvp could run a program, and if not why, so that Terminal can refuse before anything starts.
package com.vok;

import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;

final class Executables {
    // What execvp searches when PATH is unset.
    private static final String DEFAULT_PATH = "/bin:/usr/bin";

    private Executables() {}

    /**
     * Why {@code execvp} could not run {@code program} with {@code path} as PATH (null for unset), or
     * null when it could: a name with a slash is a path, any other is looked for in each directory
     * of PATH, an empty entry meaning the working directory. {@code program} holds no NUL character.
     */
    static String whyNotRunnable(String program, String path) {
        try {
            return lookUp(program, path);
        } catch (InvalidPathException unmappable) {
            return "not a file name in this VM's encoding, " + System.getProperty("sun.jnu.encoding");
        }
    }

    private static String lookUp(String program, String path) {
        if (program.isEmpty()) return "the name is empty";
        if (program.contains("/")) {
            Path file = Path.of(program);
            if (!Files.exists(file)) return "no such file";
            return isExecutableFile(file) ? null : "not an executable file";
        }
        String searched = path == null ? DEFAULT_PATH : path;
        boolean foundButNotExecutable = false;
        for (String directory : searched.split(":", -1)) {
            Path file = Path.of(directory.isEmpty() ? "." : directory, program);
            if (isExecutableFile(file)) return null;
            foundButNotExecutable |= Files.exists(file);
        }
        return (foundButNotExecutable ? "on PATH, but not an executable file" : "not a program on PATH")
                + " (" + (path == null ? "unset, so " + DEFAULT_PATH : searched) + ")";
    }

    private static boolean isExecutableFile(Path file) {
        return Files.isRegularFile(file) && Files.isExecutable(file);
    }
}
