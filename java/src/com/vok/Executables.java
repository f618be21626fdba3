// Whether execvp could run a program, and if not why, so that Terminal can refuse before anything starts.
package com.vok;

import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.Objects;

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

    // Refuses, before anything starts, a program that cannot be run or whose name the library would pass on as other bytes.
    static void checkRunnable(String program) {
        checkCarried(Objects.requireNonNull(program, "program"));
        String why = Executables.whyNotRunnable(program, System.getenv("PATH"));
        if (why != null) throw new IllegalArgumentException("cannot run \"" + program + "\": " + why);
    }

    // The library hands strings over as the VM's modified UTF-8, which writes U+0000 as two bytes and
    // a character outside the Basic Multilingual Plane as two encoded surrogates: the program would
    // get another name than the one meant.
    static void checkCarried(String text) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '\0' || Character.isSurrogate(c)) {
                throw new IllegalArgumentException("\"" + text + "\" holds " + String.format("U+%04X", text.codePointAt(i))
                        + ", which the library cannot pass on unchanged");
            }
        }
    }
}
