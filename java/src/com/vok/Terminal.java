// The user's shell or editor on this VM's terminal, with Ctrl-C going to the program and not the VM.
package com.vok;

import java.io.IOException;
import java.nio.charset.Charset;
import java.util.Map;
import java.util.Objects;

/**
 * Runs interactive programs the way a terminal user expects: the user's shell or editor, checked
 * before anything starts, with Ctrl-C going to the program and not to the VM.
 *
 * <p>The VM and the program it starts share the terminal's foreground process group, so a Ctrl-C
 * typed at the terminal reaches both, and by default the VM shuts down on it. While a program runs
 * through any method of this class, SIGINT does not end the VM, as git keeps it from ending git
 * while the editor runs. The VM catches it with a handler that does nothing rather than ignoring it,
 * which the program would inherit: a caught signal is at its default in the started program, so the
 * program gets Ctrl-C as it would without the guard. Where the VM does not handle SIGINT itself
 * ({@code -Xrs}, or started with SIGINT ignored), the guard leaves it alone and the program runs all
 * the same.
 *
 * <p>When the guard lifts. A Ctrl-C reaches the VM's Java handler a little after the kernel has
 * delivered it, possibly after the program has ended, so the guard stays for 200 ms after the last
 * program has ended, and then until every SIGINT the VM has taken by then has reached the guard, but
 * never longer than 0.7 s after that end in all: a Ctrl-C typed a second after a call has returned
 * reaches the VM's handler as usual, whatever the VM's signal mask, and one typed within 200 ms is
 * swallowed. The bound is safe for what a terminal sends: the VM hands its pending SIGINTs to their
 * handler thousands a second, so even Ctrl-C held down at the keyboard's repeat rate has reached the
 * guard long before it lifts. What can outlast it is a flood of thousands of SIGINTs sent by a
 * program, or a machine that keeps the VM's threads off the processors for half a second; those
 * late SIGINTs then reach the VM's handler, as one typed just after the call would. Waiting longer
 * would leave Ctrl-C doing nothing that long after every call, which is what the user would notice.
 * A thread of the guard's own does the waiting, so no call waits for it. To learn when every
 * earlier SIGINT has been handed out, the guard briefly handles SIGURG itself.
 *
 * <p>An application's own handlers. The guard puts back only what is still its own: a SIGINT or
 * SIGURG handler that the application installs while the guard is on stays installed when the guard
 * lifts. Note that {@code Signal.handle} then returns the guard's handler, which does nothing, not
 * the VM's: never install that one again once the call has returned, as "the previous handler",
 * or Ctrl-C will do nothing for good. To keep the VM's handler, install yours before the call.
 * Handlers installed through the VM ({@code Signal.handle}, or the VM's own) come back as they
 * were; a native SIGURG handler installed with {@code sigaction} comes back with the VM's flags,
 * not its own ({@code SA_ONSTACK}, as the Go runtime sets it, is lost), which the guard cannot see.
 *
 * <p>Calls may come from several threads, overlapping or not: the guard stays until the last of
 * them has ended. They still share the one terminal. Ctrl-\ (SIGQUIT) cannot be guarded: it reaches
 * the VM as well, which prints a thread dump on the terminal and carries on.
 */
public final class Terminal {
    private Terminal() {}

    /**
     * The user's shell: {@code $SHELL}, else {@code /bin/sh}.
     *
     * @return the shell's name or path, as the variable holds it
     */
    public static String userShell() {
        return userShell(System.getenv());
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
     * checking that it can be run.
     *
     * @param program the program's name, looked up on PATH when it has no slash
     * @return the program's process ID, or -1 when it could not be started or waited for
     * @throws IllegalArgumentException before anything starts, when the program cannot be run (not
     *     found on PATH, not an executable file), or when its name holds U+0000 or a character outside
     *     the Basic Multilingual Plane, which would reach the program as other bytes
     */
    public static int shell(String program) {
        checkRunnable(program);
        boolean guarded = SigintGuard.enter();
        try {
            return LinuxNative.shell(program);
        } finally {
            if (guarded) SigintGuard.leave();
        }
    }

    /**
     * Runs {@code editor} on {@code file} as {@link LinuxNative#edit} does, with SIGINT guarded,
     * after checking that the editor can be run.
     *
     * @param editor the editor's name, looked up on PATH when it has no slash
     * @param file the file to edit, passed unchanged but for {@code ./} before a relative name that
     *     begins with {@code -} or {@code +}
     * @return the editor's process ID, or -1 when it could not be started or waited for
     * @throws IllegalArgumentException as {@link #shell} does, for the editor, or for a file name
     *     that holds U+0000 or a character outside the Basic Multilingual Plane
     */
    public static int edit(String editor, String file) {
        checkCarried(Objects.requireNonNull(file, "file"));
        checkRunnable(editor);
        boolean guarded = SigintGuard.enter();
        try {
            return LinuxNative.edit(editor, UserEditor.asFileName(file));
        } finally {
            if (guarded) SigintGuard.leave();
        }
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
     * <p>Unlike {@link LinuxNative}, this does not take the terminal back from a program that dies:
     * a program killed in raw mode leaves the terminal raw, and a shell killed leaves the VM in the
     * background. The program does not get the VM's other descriptors.
     *
     * @param builder the program, its arguments, environment, directory and redirects
     * @return the exit status as {@link Process#waitFor} gives it: 128 + N for a program killed by signal N
     * @throws IOException when the process cannot be started, as from {@link ProcessBuilder#start}
     */
    public static int run(ProcessBuilder builder) throws IOException {
        boolean guarded = SigintGuard.enter();
        try {
            Process process = builder.start();
            boolean interrupted = false;
            for (;;) {
                try {
                    int status = process.waitFor();
                    if (interrupted) Thread.currentThread().interrupt();
                    return status;
                } catch (InterruptedException e) {
                    interrupted = true;
                }
            }
        } finally {
            if (guarded) SigintGuard.leave();
        }
    }

    /**
     * Runs the user's editor on {@code file} as git does, with SIGINT guarded, and waits for it. The
     * editor is {@code $VISUAL} unless {@code TERM} is unset or {@code dumb}, then {@code $EDITOR},
     * then {@code vi}. A value that holds blanks or other shell syntax, such as {@code code --wait},
     * runs as {@code sh -c '<value> "$@"' <value> <file>}; any other is the program's name. The file
     * name reaches the editor as one argument whatever it holds; a relative name that begins with
     * {@code -} or {@code +} is passed as {@code ./name}, so that no editor reads it as an option or a
     * command. The shell ends as the editor ends: it catches Ctrl-C with a trap that does nothing,
     * so an editor that handles Ctrl-C and exits 0 gives 0. The editor {@code :} succeeds at once
     * without touching the file, as in git. It runs as {@link #run} runs a program on this terminal.
     *
     * @param file the file to edit
     * @return the editor's exit status, as {@link #run} gives it: not 0 when the editor failed
     * @throws IllegalStateException before anything starts, when the editor's program cannot be
     *     found, naming the variable and its value
     * @throws IllegalArgumentException before anything starts, when the file's name cannot be
     *     written in the VM's encoding of file names ({@code sun.jnu.encoding})
     * @throws IOException when the editor cannot be started all the same
     */
    public static int openEditor(String file) throws IOException {
        return openEditor(System.getenv(), file);
    }

    static int openEditor(Map<String, String> environment, String file) throws IOException {
        checkEncodable(Objects.requireNonNull(file, "file"));
        UserEditor editor = UserEditor.of(environment);
        editor.check(environment.get("PATH"));
        if (editor.isNoOp()) return 0;
        return run(new ProcessBuilder(editor.command(file)).inheritIO());
    }

    // ProcessBuilder encodes arguments in sun.jnu.encoding, writing '?' for what it cannot carry:
    // under LANG=C, "naïve.txt" would open another file.
    private static void checkEncodable(String file) {
        String encoding = System.getProperty("sun.jnu.encoding");
        if (!Charset.forName(encoding).newEncoder().canEncode(file)) {
            throw new IllegalArgumentException("\"" + file + "\" cannot be passed to a program in this VM's encoding, " + encoding);
        }
    }

    static String userShell(Map<String, String> environment) {
        String shell = environment.get("SHELL");
        return shell == null || shell.isEmpty() ? "/bin/sh" : shell;
    }

    private static void checkRunnable(String program) {
        checkCarried(Objects.requireNonNull(program, "program"));
        String why = Executables.whyNotRunnable(program, System.getenv("PATH"));
        if (why != null) throw new IllegalArgumentException("cannot run \"" + program + "\": " + why);
    }

    // The library hands strings over as the VM's modified UTF-8, which writes U+0000 as two bytes and
    // a character outside the Basic Multilingual Plane as two encoded surrogates: the program would
    // get another name than the one meant.
    private static void checkCarried(String text) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '\0' || Character.isSurrogate(c)) {
                throw new IllegalArgumentException("\"" + text + "\" holds " + String.format("U+%04X", text.codePointAt(i))
                        + ", which the library cannot pass on unchanged");
            }
        }
    }
}
