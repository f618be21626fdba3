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
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;
import java.util.Set;

final class Editing {
    private static final String HINT = "hint: Waiting for your editor to close the file... ";
    private static final String ERASE_LINE = "\r\033[K";

    private Editing() {}

    static int openEditor(Map<String, String> environment, String variable, String file) throws IOException {
        checkEncodable(Objects.requireNonNull(file, "file"));
        UserEditor editor = UserEditor.of(environment, variable);
        if (editor.isNoOp()) return 0;
        editor.check(environment);
        Path path = Path.of(file);
        FileState before = FileState.of(path);
        int status = runEditor(environment, editor, file);
        String advice = status == 0 && !FileState.of(path).writtenSince(before) ? editor.windowEditorAdvice() : null;
        if (advice != null) System.err.println("vokrane: " + advice);
        return status;
    }

    static Optional<String> editText(Map<String, String> environment, String variable, String text, String suffix)
            throws IOException {
        checkPaired(Objects.requireNonNull(text, "text"));
        Objects.requireNonNull(suffix, "suffix");
        if (suffix.indexOf('/') >= 0 || suffix.indexOf('\0') >= 0) {
            throw new IllegalArgumentException("the suffix \"" + suffix + "\" holds '/' or NUL, which cannot end a file's name");
        }
        checkEncodable(suffix);
        UserEditor editor = UserEditor.of(environment, variable);
        if (editor.isNoOp()) return Optional.empty();
        editor.check(environment);
        Path file = Drafts.createDirectory().resolve("text" + suffix);
        boolean keep = false;
        try {
            try {
                write(file, text.getBytes(StandardCharsets.UTF_8));
            } catch (IOException e) {
                throw PrivateDirectories.cannotWrite(file.getParent().getParent(), e);
            }
            // Set back, so that a save within the same clock tick still changes the time.
            Files.setLastModifiedTime(file, FileTime.fromMillis(System.currentTimeMillis() - 10_000));
            FileState before = Drafts.open(file);
            int status = runEditor(environment, editor, file.toString());
            FileState after = FileState.of(file);
            boolean saved = after.writtenSince(before);
            String editorSaid = "the editor \"" + editor.value() + "\" ";
            if (status != 0) {
                // What the user saved, or what may recover it (vim's swap file after a kill), stays.
                keep = Drafts.holdsWork(file);
                throw new EditorException(editorSaid + howItEnded(status) + (saved ? savedIn(file)
                        : keep ? "; what the editor left is kept in " + file.getParent() : ""), status,
                        saved ? file : keep ? file.getParent() : null);
            }
            String advice = saved ? null : editor.windowEditorAdvice();
            if (advice != null) {
                // The window may still show the file: it stays for the user to save into.
                keep = after.exists;
                throw new EditorException(editorSaid + "returned without the file written: " + advice
                        + (keep ? "; the file, which its window may still show, is kept in " + file : ""), 0, keep ? file : null);
            }
            if (!saved) return Optional.empty();
            try {
                String edited = decodeStrictly(Files.readAllBytes(file));
                return Optional.of(edited.startsWith("\uFEFF") ? edited.substring(1) : edited);
            } catch (CharacterCodingException notUtf8) {
                keep = true;
                throw new EditorException(editorSaid + "saved text that is not UTF-8" + savedIn(file), 0, file);
            }
        } finally {
            if (keep) Drafts.keep(file);
            else Drafts.remove(file);
        }
    }

    private static String savedIn(Path file) {
        return "; the text saved is kept in " + file;
    }

    // Runs the editor through the SIGINT guard, each of its streams on the terminal: one of the
    // VM's that is not (msg=$(tool compose), cat x | tool edit) is given the controlling terminal
    // instead. The terminal's modes come back however the editor ended: an editor is not there to
    // change them for good, and a crash is not always a signal.
    private static int runEditor(Map<String, String> environment, UserEditor editor, String file) throws IOException {
        TerminalFacts facts = TerminalFacts.learn();
        boolean[] onTerminal = {facts.onTerminal(0), facts.onTerminal(1), facts.onTerminal(2)};
        boolean hasTerminal = facts.hasTerminal();
        ProcessBuilder builder = new ProcessBuilder(editor.command(file))
                .redirectInput(onTerminal[0] || !hasTerminal ? Redirect.INHERIT : Redirect.from(TerminalFacts.TERMINAL))
                .redirectOutput(onTerminal[1] || !hasTerminal ? Redirect.INHERIT : Redirect.to(TerminalFacts.TERMINAL))
                .redirectError(onTerminal[2] || !hasTerminal ? Redirect.INHERIT : Redirect.to(TerminalFacts.TERMINAL));
        // As git does: a window editor may open behind other windows; a terminal editor draws over
        // it. A dumb terminal gets no escape sequence: the hint ends its line, and stays.
        boolean dumb = TerminalFacts.isDumb(environment);
        if (onTerminal[2]) System.err.print(dumb ? HINT + "\n" : HINT);
        System.err.flush();
        try {
            return TerminalCalls.run(builder, facts, true, process -> { });
        } finally {
            if (onTerminal[2] && !dumb) System.err.print(ERASE_LINE);
            System.err.flush();
        }
    }

    // How a status from Process.waitFor came about; above 128 is a signal, as shells take it.
    static String howItEnded(int status) {
        String signal = status > 128 ? SignalNames.of(status - 128) : null;
        if (signal != null) return "was killed by " + signal;
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

    // A lone surrogate has no UTF-8 form: it would be written as '?' and come back changed.
    private static void checkPaired(String text) {
        for (int i = 0; i < text.length(); i++) {
            if (Character.isHighSurrogate(text.charAt(i)) && i + 1 < text.length() && Character.isLowSurrogate(text.charAt(i + 1))) {
                i++;
            } else if (Character.isSurrogate(text.charAt(i))) {
                throw new IllegalArgumentException("the text holds an unpaired surrogate at index " + i
                        + ", which no file can hold as UTF-8");
            }
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
}
