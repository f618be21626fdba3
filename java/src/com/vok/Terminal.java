// The user's shell or editor on this VM's terminal, with Ctrl-C going to the program and not the VM.
package com.vok;

import java.io.IOException;
import java.util.Optional;

/**
 * Runs interactive programs the way a terminal user expects: the user's shell or editor, checked
 * before anything starts, with Ctrl-C going to the program and not to the VM.
 *
 * <p>The VM and its program share the terminal's foreground process group, so a Ctrl-C reaches
 * both, and by default the VM shuts down on it. While a program runs through any method here,
 * SIGINT does not end the VM, as git keeps it from ending git while the editor runs: a handler that
 * does nothing catches it (an ignored signal the program would inherit; a caught one is at its
 * default there). A VM that does not handle SIGINT ({@code -Xrs}, or started with it ignored) is
 * left alone. When the guard lifts, and what becomes of the application's own SIGINT and SIGURG
 * handlers, the {@linkplain com.vok package's notes} say.
 *
 * <p>Every method here hands the terminal over one way. As the program starts, the terminal's
 * modes are noted if the VM has its foreground; once it has ended, the foreground is taken back
 * from the program's process group if that kept it (a job-control shell killed by a signal), and
 * the modes are put back after a death by a signal, and after any editor or pager. Where the
 * library is loaded or loads without a warning (any JDK before 22; from 22 on, with native access
 * enabled for this module or the class path), it does all of this with no other process.
 * Elsewhere (another system, JDK 22 or later without native access, a refused copy) the VM learns
 * the terminal from {@code /proc}, or where there is none from {@code sh}, {@code stty} and
 * {@code ps} as macOS and the BSDs have them, with at most one process before the program and one
 * after; it cannot take the foreground back, and what it cannot learn counts as the safe answer:
 * not in the foreground, so nothing is put back.
 *
 * <p>Calls may come from several threads, overlapping or not, and the guard stays until the last
 * of them has ended. They share the one terminal in one record, with {@link LinuxNative}'s own: of
 * a run of overlapping calls, the call that began while no other call's program ran notes the
 * modes, and whichever call ends last puts them back when any call of the run wanted it; modes
 * seen while another's program ran may be that program's, and are never put back. Ctrl-\
 * (SIGQUIT) cannot be guarded: it reaches the VM as well, which prints a thread dump and carries on.
 */
public final class Terminal {
    private Terminal() {}

    /**
     * The user's shell: {@code $SHELL}, else {@code /bin/sh}.
     *
     * @return the shell's name or path, as the variable holds it
     */
    public static String userShell() {
        return UserEditor.userShell(System.getenv());
    }

    /**
     * The user's editor as a program's name for {@link #edit}: {@code $VISUAL}, then {@code $EDITOR},
     * else {@code vi}; the first that is set must name an executable file or a program on {@code PATH}.
     * {@link #openEditor} also takes an editor with arguments, and follows git's rule.
     *
     * @return the editor's name or path, as the variable holds it
     * @throws IllegalStateException when the editor cannot be found, naming the variable and its
     *     value, or when the variable holds a command with arguments, such as {@code code --wait}
     */
    public static String userEditor() {
        return UserEditor.programName(System.getenv());
    }

    /**
     * Runs {@code program} as {@link LinuxNative#shell} does, with the VM's SIGINT guarded, after
     * checking that it can be run. Where the library does not load ({@link NativeLibrary#isAvailable}
     * is false: another system or processor), it runs through {@link ProcessBuilder} as {@link #run}
     * runs it, with the standard streams inherited: the program then gets none of the VM's other
     * descriptors, and the foreground is not taken back from a job-control shell that dies.
     *
     * <p>A shell in a folder, or with arguments, runs through {@link #run}, with the same take-back
     * (the VM's other descriptors aside):
     * {@code Terminal.run(new ProcessBuilder(Terminal.userShell(), "-l").directory(folder).inheritIO())}.
     *
     * @param program the program's name, looked up on PATH when it has no slash
     * @return the program's process ID, or -1 when it could not be started or waited for
     * @throws IllegalArgumentException before anything starts, when the program cannot be run (not
     *     found on PATH, not an executable file), or when its name holds U+0000 or a character outside
     *     the Basic Multilingual Plane, which would reach the program as other bytes
     */
    public static int shell(String program) {
        return TerminalCalls.shell(program);
    }

    /**
     * Runs {@code editor} on {@code file} as {@link LinuxNative#edit} does, with SIGINT guarded,
     * after checking that the editor can be run; where the library does not load, as {@link #shell}.
     *
     * @param editor the editor's name, looked up on PATH when it has no slash
     * @param file the file to edit, passed unchanged but for {@code ./} before a relative name that
     *     begins with {@code -} or {@code +}
     * @return the editor's process ID, or -1 when it could not be started or waited for
     * @throws IllegalArgumentException as {@link #shell} does, for the editor, or for a file name
     *     that holds U+0000 or a character outside the Basic Multilingual Plane
     */
    public static int edit(String editor, String file) {
        return TerminalCalls.edit(editor, file);
    }

    /**
     * Starts {@code builder}'s process with SIGINT guarded as {@link #shell} guards it, and waits for
     * it to end, even when the calling thread is interrupted (the interrupt is kept for later). The
     * builder's redirects are used as given: for a program on this terminal, inherit them all.
     *
     * <pre>{@code
     * int status = Terminal.run(new ProcessBuilder("vim", file.toString()).inheritIO());
     * }</pre>
     *
     * <p>The terminal is taken back as the class notes say: the foreground from a job-control shell
     * that dies, and the modes after a program that ended with a status above 128, a death by a
     * signal as shells take it (vim killed in raw mode), when the terminal is one of the VM's
     * standard streams; one that exits keeps the modes it set ({@code stty}). The program gets none
     * of the VM's other descriptors.
     *
     * @param builder the program, its arguments, environment, directory and redirects
     * @return the exit status as {@link Process#waitFor} gives it: 128 + N for a program killed by signal N
     * @throws IOException when the process cannot be started, as from {@link ProcessBuilder#start}
     */
    public static int run(ProcessBuilder builder) throws IOException {
        return TerminalCalls.run(builder);
    }

    /**
     * Runs the user's editor on {@code file}: {@link #openEditor(String, String)} with no variable of
     * the tool's own.
     *
     * @param file the file to edit
     * @return the editor's exit status
     * @throws IOException as {@link #openEditor(String, String)} does
     */
    public static int openEditor(String file) throws IOException {
        return openEditor(file, null);
    }

    /**
     * Runs the user's editor on {@code file} as git does, with SIGINT guarded, and waits for it:
     * the tool's own {@code variable} when it is set and not empty (as git reads {@code GIT_EDITOR}),
     * whatever {@code TERM} is, then {@code $VISUAL} unless {@code TERM} is unset or {@code dumb}, then
     * {@code $EDITOR}, then {@code vi}. A value with blanks or other shell syntax ({@code code --wait}) runs as
     * {@code sh -c '<value> "$@"' <value> <file>}, a shell that ends as the editor ends (its Ctrl-C
     * trap does nothing); any other is the program's name. The file reaches the editor as one
     * argument whatever it holds, a relative name that begins with {@code -} or {@code +} as
     * {@code ./name}. The editor {@code :} succeeds at once without touching the file, as in git.
     *
     * <p>It runs as {@link #run} runs a program, but each of the VM's standard streams that is not
     * on its terminal is given the terminal ({@code /dev/tty}), so that {@code msg=$(tool compose)}
     * still edits there; {@code hint: Waiting for your editor to close the file...} shows meanwhile
     * on a terminal's standard error, as in git (its own line on a dumb terminal); and the modes
     * come back however the editor ended. A window editor that returned before its window closed
     * ({@code code} without {@code --wait}, {@code emacsclient -n}) is told on standard error.
     *
     * @param file the file to edit
     * @param variable the tool's own variable naming its editor ({@code MYTOOL_EDITOR}), or null
     * @return the editor's exit status, as {@link #run} gives it: not 0 when the editor failed
     * @throws IllegalStateException before anything starts, when the editor's program cannot be
     *     found, naming the variable it came from and its value
     * @throws IllegalArgumentException before anything starts, when the file's name cannot be
     *     written in the VM's encoding of file names ({@code sun.jnu.encoding})
     * @throws IOException when the editor cannot be started all the same
     */
    public static int openEditor(String file, String variable) throws IOException {
        return Editing.openEditor(System.getenv(), variable, file);
    }

    /**
     * Lets the user edit {@code text}: {@link #editText(String, String, String)} with no variable of
     * the tool's own.
     *
     * @param text what the file holds when the editor opens it
     * @param suffix how the file's name ends, such as {@code .md}; may be empty
     * @return what the user saved, or empty when they saved nothing
     * @throws IOException as {@link #editText(String, String, String)} does
     */
    public static Optional<String> editText(String text, String suffix) throws IOException {
        return editText(text, suffix, null);
    }

    /**
     * Lets the user edit {@code text} in their editor, as {@code git commit} does with its message,
     * and gives back what they saved, the editor chosen as {@link #openEditor(String, String)}
     * chooses it. The text is written as UTF-8 into a new file of the user's
     * alone (mode 0600), named to end with {@code suffix} ({@code .md}: editors pick their syntax by
     * it), in a new private directory under {@code java.io.tmpdir}, and the editor runs on it as
     * {@link #openEditor(String, String)} runs it. A save counts whatever the clock's resolution (the time is set
     * back before; size, file key and change time are compared too), by rename or in place; an
     * editor that deletes the file, or its directory, did not save. The bytes saved are decoded
     * strictly as UTF-8, a leading byte-order mark dropped, nothing else changed (CRLF stays).
     *
     * <p>The directory is removed on every path but two, which the exception names: the user saved
     * text that is not handed back, or the editor failed leaving something beside the draft (vim's
     * swap file, from which {@code vim -r} recovers the text). Should the VM itself end while the
     * editor runs (the terminal hangs up), it gives the editor two seconds to write what it keeps
     * and then removes the directory unless it holds such work; a VM killed by SIGKILL leaves it.
     *
     * <pre>{@code
     * Optional<String> message = Terminal.editText("\n# Describe the change.\n", ".md");
     * }</pre>
     *
     * @param text what the file holds when the editor opens it
     * @param suffix how the file's name ends, such as {@code .md}; may be empty
     * @param variable the tool's own variable naming its editor, or null
     * @return what the user saved, or empty when the editor exited with 0 without saving ({@code :q})
     *     or is {@code :}
     * @throws EditorException when the editor exited with another status (vim's {@code :cq}), was
     *     killed, saved what is not UTF-8, or was a window editor that returned without waiting;
     *     its {@link EditorException#keptFile} holds what is kept, if anything
     * @throws IllegalArgumentException before anything is created, for a suffix that holds {@code /}
     *     or NUL or that the VM cannot write in file names ({@code sun.jnu.encoding}), or a text that
     *     holds an unpaired surrogate, which no UTF-8 file can hold
     * @throws IllegalStateException before anything is created, when the editor cannot be found,
     *     as for {@link #openEditor(String, String)}
     * @throws IOException when the file cannot be made or read, or the editor cannot be started; before
     *     anything is created, when another user could change {@code java.io.tmpdir} or a directory
     *     above it, and so swap the draft's directory while the editor runs
     */
    public static Optional<String> editText(String text, String suffix, String variable) throws IOException {
        return Editing.editText(System.getenv(), variable, text, suffix);
    }

    /**
     * Whether the VM's standard input (0), output (1) or error (2) is a terminal, as {@code isatty}
     * says: {@code System.console() != null} says only whether all of input and output are. Neither
     * loads the library nor starts a pager.
     *
     * @param descriptor 0, 1 or 2
     * @return true when that stream is a terminal
     * @throws IllegalArgumentException for any other number
     */
    public static boolean isTerminal(int descriptor) {
        return OutputFacts.isTerminal(descriptor);
    }

    /**
     * How many columns a tool's output has: those of the terminal on standard output, else on
     * standard error, else {@code $COLUMNS} when it holds a positive number, else 80.
     *
     * @return the width to wrap output at
     */
    public static int width() {
        return OutputFacts.width(System.getenv());
    }

    /**
     * Whether a stream should get colour, by the conventions users set: never when {@code NO_COLOR}
     * is set and not empty; always when {@code CLICOLOR_FORCE} is set and not {@code 0}; otherwise
     * when the stream is a terminal ({@link #isTerminal}), {@code TERM} is set and not {@code dumb},
     * and {@code CLICOLOR} is not {@code 0}. Output through the pager is decided by
     * {@link Pager#isPaging} instead.
     *
     * @param descriptor 1 or 2 (0 is allowed, and is a terminal's or not)
     * @return true when escape sequences for colour may be written to it
     * @throws IllegalArgumentException for a number other than 0, 1 or 2
     */
    public static boolean colorEnabled(int descriptor) {
        return OutputFacts.colorEnabled(System.getenv(), descriptor);
    }

    /**
     * Opens the user's pager for a tool's long output, as {@code git log} does, when standard
     * output is the terminal; otherwise the output goes to {@code System.out} as it is. Which pager,
     * when, and what happens while it runs and at the end: see {@link Pager}.
     *
     * @param variable the tool's own variable naming its pager ({@code MYTOOL_PAGER}), or null
     * @return where to write, to be closed at the end of the output
     * @throws IOException when the pager cannot be started all the same
     */
    public static Pager pager(String variable) throws IOException {
        return Pager.open(System.getenv(), variable);
    }

    /**
     * Shows {@code text} through the user's pager as {@link #pager} opens it, and returns once the
     * user has left it: the whole job for a text already at hand.
     *
     * @param text what to show
     * @param variable the tool's own variable naming its pager, or null
     * @throws IOException as {@link #pager} and {@link Pager#close} throw it
     */
    public static void page(CharSequence text, String variable) throws IOException {
        try (Pager pager = pager(variable)) {
            pager.out().append(text);
        }
    }
}
