// The user's shell or editor on this VM's terminal, with Ctrl-C going to the program and not the VM.
package com.vok;

import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import sun.misc.Signal;
import sun.misc.SignalHandler;

/**
 * Runs interactive programs through {@link LinuxNative} the way a terminal user expects.
 *
 * <p>The VM and the program it starts share the terminal's foreground process group, so a Ctrl-C
 * typed at the terminal reaches both, and by default the VM shuts down on it. While a program runs
 * through {@link #shell} or {@link #edit}, SIGINT does not end the VM, as {@code system(3)} keeps it
 * from ending its caller; the VM's own handling is put back once the program has ended. Where
 * {@code system(3)} ignores the signal, which the program would inherit, the VM here catches it with
 * a handler that does nothing: a caught signal is at its default in the started program, so the
 * program gets Ctrl-C as it would without the guard. Where the VM does not handle SIGINT itself
 * ({@code -Xrs}, or started with SIGINT ignored), the guard leaves it alone and the program runs all
 * the same.
 *
 * <p>How the guard is put back: the VM runs Java signal handlers later, on a dispatch thread of its
 * own, and picks the handler when it gets to the signal, so a Ctrl-C that arrived while the program
 * ran may be dispatched after the program has ended. Before putting the VM's handler back,
 * {@code Terminal} raises a SIGURG of its own and waits until its handler has run: HotSpot dispatches
 * pending signals lowest number first, so by then every SIGINT it had counted went to the guard,
 * however late. The window that remains is the instant between one of the VM's threads taking a
 * SIGINT from the kernel and the VM counting it; only a SIGINT arriving as the program ends, with
 * that thread descheduled in between, can fall into it. A Ctrl-C typed after a call has returned
 * reaches the VM's handler as usual. While the handler is put back (well under a millisecond) a
 * SIGURG of the application's own would be taken by {@code Terminal}.
 *
 * <p>Calls may come from several threads, overlapping or not: the guard stays until the last of
 * them has ended, and only then is the VM's handler put back. They still share the one terminal.
 *
 * <p>Ctrl-\ (SIGQUIT) cannot be guarded: it reaches the VM as well, which prints a thread dump on
 * the terminal and carries on.
 */
public final class Terminal {
    private static final Signal INTERRUPT = new Signal("INT");
    private static final Signal MARKER = new Signal("URG");
    private static final SignalHandler NOTHING = new Ignore();

    private static final Object lock = new Object();  // guards the four fields below
    private static SignalHandler vmHandler;            // SIGINT's handler before the guard; null when unguarded
    private static int callsRunning;
    private static long callsEnded;
    private static boolean puttingBack;               // a thread is waiting to put vmHandler back

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
     * The user's editor: {@code $VISUAL}, then {@code $EDITOR}, else {@code vi}; the first that is
     * set must name an executable file or a program on {@code PATH}.
     *
     * @return the editor's name or path, as the variable holds it
     * @throws IllegalStateException when the editor cannot be found, naming the variable and its
     *     value, or when the variable holds a command with arguments, such as {@code code --wait}:
     *     {@link LinuxNative#edit} never splits a name, so it could not run it
     */
    public static String userEditor() {
        return userEditor(System.getenv());
    }

    /**
     * Runs {@code program} as {@link LinuxNative#shell} does, with the VM's SIGINT guarded.
     *
     * @param program the program's name, looked up on PATH when it has no slash
     * @return the program's process ID, or -1
     */
    public static int shell(String program) {
        boolean guarded = guard();
        try {
            return LinuxNative.shell(program);
        } finally {
            if (guarded) unguard();
        }
    }

    /**
     * Runs {@code editor} on {@code file} as {@link LinuxNative#edit} does, with SIGINT guarded.
     *
     * @param editor the editor's name, looked up on PATH when it has no slash
     * @param file the file to edit, passed unchanged
     * @return the editor's process ID, or -1
     */
    public static int edit(String editor, String file) {
        boolean guarded = guard();
        try {
            return LinuxNative.edit(editor, file);
        } finally {
            if (guarded) unguard();
        }
    }

    static String userShell(Map<String, String> environment) {
        String shell = environment.get("SHELL");
        return shell == null || shell.isEmpty() ? "/bin/sh" : shell;
    }

    static String userEditor(Map<String, String> environment) {
        String path = environment.get("PATH");
        for (String variable : new String[] {"VISUAL", "EDITOR"}) {
            String editor = environment.get(variable);
            if (editor == null || editor.isEmpty()) continue;
            if (isRunnable(editor, path)) return editor;
            if (editor.matches("(?s).*\\s.*")) {
                throw new IllegalStateException(variable + " is \"" + editor + "\", a command with arguments;"
                        + " the editor is started by its name alone, never split, so set " + variable
                        + " to the program itself (or to a script that adds the arguments)");
            }
            throw new IllegalStateException(variable + " is \"" + editor + "\", which is neither an executable"
                    + " file nor a program on PATH");
        }
        if (isRunnable("vi", path)) return "vi";
        throw new IllegalStateException("neither VISUAL nor EDITOR is set, and vi is not a program on PATH");
    }

    // execvp's rule: a name with a slash is a path, any other is looked for in each directory of
    // PATH (an empty entry meaning the working directory, an unset PATH meaning /bin:/usr/bin).
    private static boolean isRunnable(String program, String path) {
        try {
            if (program.contains("/")) return isExecutableFile(Path.of(program));
            for (String directory : (path == null ? "/bin:/usr/bin" : path).split(":", -1)) {
                if (isExecutableFile(Path.of(directory.isEmpty() ? "." : directory, program))) return true;
            }
            return false;
        } catch (InvalidPathException unusable) {
            return false;
        }
    }

    private static boolean isExecutableFile(Path file) {
        return Files.isRegularFile(file) && Files.isExecutable(file);
    }

    // Installs the guard, or counts one more call under it. False when the VM keeps SIGINT to itself.
    private static boolean guard() {
        synchronized (lock) {
            if (vmHandler == null) {
                try {
                    vmHandler = Signal.handle(INTERRUPT, NOTHING);
                } catch (IllegalArgumentException reservedByTheVm) {
                    return false;
                }
            }
            callsRunning++;
            return true;
        }
    }

    // The last call to end puts the VM's handler back, once every SIGINT counted so far has been
    // dispatched to the guard.
    private static void unguard() {
        long covered;
        synchronized (lock) {
            callsRunning--;
            callsEnded++;
            if (callsRunning > 0 || puttingBack) return;
            puttingBack = true;
            covered = callsEnded;
        }
        boolean done = false;
        try {
            while (!done) {
                awaitSignalsCountedSoFar();
                synchronized (lock) {
                    // A call that started meanwhile keeps the guard, and its end puts it back; one
                    // that came and went meanwhile is waited for in another round.
                    if (callsRunning == 0 && callsEnded == covered) {
                        Signal.handle(INTERRUPT, vmHandler);
                        vmHandler = null;
                    }
                    done = callsRunning > 0 || callsEnded == covered;
                    covered = callsEnded;
                    if (done) puttingBack = false;
                }
            }
        } finally {
            if (!done) {
                synchronized (lock) {
                    puttingBack = false;
                }
            }
        }
    }

    // Returns once the VM has dispatched every SIGINT it counted before this call: a SIGURG raised
    // on this thread is counted at once, and HotSpot dispatches it only when no SIGINT is pending.
    private static void awaitSignalsCountedSoFar() {
        CountDownLatch dispatched = new CountDownLatch(1);
        SignalHandler previous = Signal.handle(MARKER, new CountDown(dispatched));
        try {
            Signal.raise(MARKER);
            boolean interrupted = false;
            for (;;) {
                try {
                    dispatched.await();
                    break;
                } catch (InterruptedException e) {
                    interrupted = true;
                }
            }
            if (interrupted) Thread.currentThread().interrupt();
        } finally {
            Signal.handle(MARKER, previous);
        }
    }

    // The handlers are classes rather than lambdas: a first lambda costs a fresh VM milliseconds.
    private static final class Ignore implements SignalHandler {
        @Override
        public void handle(Signal signal) {}
    }

    private static final class CountDown implements SignalHandler {
        private final CountDownLatch latch;

        CountDown(CountDownLatch latch) {
            this.latch = latch;
        }

        @Override
        public void handle(Signal signal) {
            latch.countDown();
        }
    }
}
