// The user's editor as a tool runs it: on the terminal whatever the tool's streams are, a hint meanwhile, the modes put back after, and a text edited safely.
package com.vok;

import java.io.IOException;
import java.lang.ProcessBuilder.Redirect;
import java.nio.ByteBuffer;
import java.nio.channels.SeekableByteChannel;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Comparator;
import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;
import java.util.Set;
import java.util.stream.Stream;

final class Editing {
    private static final String HINT = "hint: Waiting for your editor to close the file... ";
    private static final String ERASE_LINE = "\r\033[K";
    // Linux's signal names by number, as the generic processors and x86 number them.
    private static final List<String> SIGNALS = List.of("", "HUP", "INT", "QUIT", "ILL", "TRAP", "ABRT", "BUS", "FPE",
            "KILL", "USR1", "SEGV", "USR2", "PIPE", "ALRM", "TERM", "STKFLT", "CHLD", "CONT", "STOP", "TSTP", "TTIN",
            "TTOU", "URG", "XCPU", "XFSZ", "VTALRM", "PROF", "WINCH", "IO", "PWR", "SYS");

    private Editing() {}

    static int openEditor(Map<String, String> environment, String file) throws IOException {
        checkEncodable(Objects.requireNonNull(file, "file"));
        UserEditor editor = UserEditor.of(environment);
        if (editor.isNoOp()) return 0;
        editor.check(environment.get("PATH"));
        Path path = Path.of(file);
        FileState before = FileState.of(path);
        int status = runEditor(editor, file);
        String advice = status == 0 && !FileState.of(path).writtenSince(before) ? editor.windowEditorAdvice() : null;
        if (advice != null) System.err.println("vokrane: " + advice);
        return status;
    }

    static Optional<String> editText(Map<String, String> environment, String text, String suffix) throws IOException {
        Objects.requireNonNull(text, "text");
        if (suffix.indexOf('/') >= 0 || suffix.indexOf('\0') >= 0) {
            throw new IllegalArgumentException("the suffix \"" + suffix + "\" holds '/' or NUL, which cannot end a file's name");
        }
        UserEditor editor = UserEditor.of(environment);
        if (editor.isNoOp()) return Optional.empty();
        editor.check(environment.get("PATH"));
        Path directory = Files.createTempDirectory("vokrane-edit-", PosixFilePermissions.asFileAttribute(
                PosixFilePermissions.fromString("rwx------")));
        Path file = directory.resolve("text" + suffix);
        boolean keep = false;
        try {
            write(file, text.getBytes(StandardCharsets.UTF_8));
            // Set back, so that a save within the same clock tick still changes the time.
            Files.setLastModifiedTime(file, FileTime.fromMillis(System.currentTimeMillis() - 10_000));
            FileState before = FileState.of(file);
            int status = runEditor(editor, file.toString());
            FileState after = FileState.of(file);
            boolean saved = after.writtenSince(before);
            String advice = status == 0 && !saved ? editor.windowEditorAdvice() : null;
            // Kept: what the user saved, and a file a window may still show.
            keep = saved || (advice != null && after.exists);
            String editorSaid = "the editor \"" + editor.value() + "\" ";
            if (status != 0) throw failure(editorSaid + howItEnded(status), status, keep ? file : null);
            if (advice != null) throw failure(editorSaid + "returned without the file written: " + advice, 0, keep ? file : null);
            if (!saved) return Optional.empty();
            try {
                String edited = decodeStrictly(Files.readAllBytes(file));
                keep = false;
                return Optional.of(edited.startsWith("\uFEFF") ? edited.substring(1) : edited);
            } catch (CharacterCodingException notUtf8) {
                throw failure(editorSaid + "saved text that is not UTF-8", 0, file);
            }
        } finally {
            if (!keep) removeAll(directory);
        }
    }

    // Runs the editor through the SIGINT guard, each of its streams on the terminal: one of the
    // VM's that is not (msg=$(tool compose), cat x | tool edit) is given the controlling terminal
    // instead. The terminal's modes come back however the editor ended: an editor is not there to
    // change them for good, and a crash is not always a signal.
    private static int runEditor(UserEditor editor, String file) throws IOException {
        boolean[] onTerminal = TerminalModes.descriptorsOnTheTerminal();
        boolean hasTerminal = TerminalModes.hasTerminal();
        ProcessBuilder builder = new ProcessBuilder(editor.command(file))
                .redirectInput(onTerminal[0] || !hasTerminal ? Redirect.INHERIT : Redirect.from(TerminalModes.TERMINAL))
                .redirectOutput(onTerminal[1] || !hasTerminal ? Redirect.INHERIT : Redirect.to(TerminalModes.TERMINAL))
                .redirectError(onTerminal[2] || !hasTerminal ? Redirect.INHERIT : Redirect.to(TerminalModes.TERMINAL));
        // As git does: a window editor may open behind other windows; a terminal editor draws over it.
        if (onTerminal[2]) System.err.print(HINT);
        System.err.flush();
        try {
            return TerminalCalls.run(builder, hasTerminal, true);
        } finally {
            if (onTerminal[2]) System.err.print(ERASE_LINE);
            System.err.flush();
        }
    }

    private static EditorException failure(String what, int status, Path kept) {
        return new EditorException(what + (kept == null ? "" : "; the text saved is kept in " + kept), status, kept);
    }

    // How a status from Process.waitFor came about; above 128 is a signal, as shells take it.
    static String howItEnded(int status) {
        int signal = status - 128;
        if (signal > 0 && signal < SIGNALS.size()) return "was killed by SIG" + SIGNALS.get(signal);
        return "exited with status " + status;
    }

    private static void write(Path file, byte[] bytes) throws IOException {
        Set<StandardOpenOption> fresh = Set.of(StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE);
        try (SeekableByteChannel channel = Files.newByteChannel(file, fresh,
                PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rw-------")))) {
            for (ByteBuffer buffer = ByteBuffer.wrap(bytes); buffer.hasRemaining();) channel.write(buffer);
        }
    }

    private static String decodeStrictly(byte[] bytes) throws CharacterCodingException {
        return StandardCharsets.UTF_8.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
                .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(bytes)).toString();
    }

    // The directory and whatever the editor left in it (a backup, a swap file).
    private static void removeAll(Path directory) throws IOException {
        try (Stream<Path> entries = Files.walk(directory)) {
            for (Path entry : (Iterable<Path>) entries.sorted(Comparator.reverseOrder())::iterator) Files.deleteIfExists(entry);
        }
    }

    // ProcessBuilder encodes arguments in sun.jnu.encoding, writing '?' for what it cannot carry:
    // under LANG=C, "naïve.txt" would open another file.
    private static void checkEncodable(String file) {
        String encoding = System.getProperty("sun.jnu.encoding");
        if (!Charset.forName(encoding).newEncoder().canEncode(file)) {
            throw new IllegalArgumentException("\"" + file + "\" cannot be passed to a program in this VM's encoding, " + encoding);
        }
    }

    // What tells whether an editor wrote a file, whatever the clock's resolution: a save in place
    // changes the change time and the size or time; a save by rename, the file key.
    private static final class FileState {
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
}
