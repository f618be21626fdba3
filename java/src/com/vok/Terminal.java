// The user's shell or editor on this VM's terminal, with Ctrl-C going to the program and not the VM.
package com.vok;

import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
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
 * <p>How the guard is put back, and when. A Ctrl-C that arrives while the program runs reaches the
 * VM in two steps: one of its threads takes the signal from the kernel and counts it, and later the
 * VM's dispatch thread runs the Java handler that is in place by then. Either step can come after
 * the program has ended: the thread that took the signal may be kept off the processor before it
 * counts it, and the dispatch waits for its thread. So the guard stays for 200 ms after the last
 * program has ended, time enough for a thread that has taken a signal to be scheduled even on a
 * loaded machine; then {@code Terminal} raises a SIGURG of its own and puts the VM's handler back
 * only once that has been dispatched: HotSpot dispatches pending signals lowest number first, so by
 * then every SIGINT counted before it went to the guard, however late the dispatch. What remains
 * is a SIGINT whose thread was kept from running for more than those 200 ms, which takes an
 * overloaded machine. The caller does not wait for any of this: a thread of {@code Terminal}'s own
 * does, and ends when it is done. A Ctrl-C typed well after a call has returned (a quarter of a
 * second) reaches the VM's handler as usual, and one typed within 200 ms is swallowed. While the
 * handler is put back (well under a millisecond) a SIGURG of the application's own would be taken
 * by {@code Terminal}.
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

    // How long the guard outlasts the last program: see the class's documentation.
    private static final long HOLD_NANOS = TimeUnit.MILLISECONDS.toNanos(200);

    private static final Object lock = new Object();  // guards the fields below
    private static SignalHandler vmHandler;            // SIGINT's handler before the guard; null when unguarded
    private static int callsRunning;
    private static long lastEnd;                       // System.nanoTime() when the last call ended
    private static Thread restorer;                    // waiting to put vmHandler back, if any

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

    // The last call to end leaves putting the VM's handler back to a thread of its own, so that no
    // caller waits for it.
    private static void unguard() {
        synchronized (lock) {
            callsRunning--;
            lastEnd = System.nanoTime();
            if (callsRunning > 0 || restorer != null) return;
            restorer = new Thread(new Restorer(), "vokrane SIGINT guard");
            restorer.setDaemon(true);
            restorer.start();
        }
    }

    // Puts the VM's handler back once no program has run for HOLD_NANOS and every SIGINT counted by
    // then has been dispatched to the guard. A call that starts meanwhile keeps the guard, and its
    // end starts another restorer; one that comes and goes meanwhile is waited for too.
    private static final class Restorer implements Runnable {
        @Override
        public void run() {
            for (;;) {
                long lastEndCovered;
                synchronized (lock) {
                    long left;
                    while (callsRunning == 0 && (left = lastEnd + HOLD_NANOS - System.nanoTime()) > 0) {
                        waitUninterruptibly(left);
                    }
                    if (callsRunning > 0) {
                        restorer = null;
                        return;
                    }
                    lastEndCovered = lastEnd;
                }
                try {
                    awaitSignalsCountedSoFar();
                } catch (RuntimeException | Error e) {
                    synchronized (lock) {
                        restorer = null;  // the next call's end tries again
                    }
                    throw e;
                }
                synchronized (lock) {
                    // A call that came and went meanwhile ended later: its SIGINTs are waited for too.
                    if (callsRunning == 0 && lastEnd == lastEndCovered) {
                        Signal.handle(INTERRUPT, vmHandler);
                        vmHandler = null;
                    }
                    if (vmHandler == null || callsRunning > 0) {
                        restorer = null;
                        return;
                    }
                }
            }
        }

        private static void waitUninterruptibly(long nanos) {
            try {
                TimeUnit.NANOSECONDS.timedWait(lock, nanos);
            } catch (InterruptedException nobodyInterruptsThisThread) {
                // the loop waits again for whatever is left
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
            for (;;) {
                try {
                    dispatched.await();
                    break;
                } catch (InterruptedException nobodyInterruptsTheRestorer) {
                    // wait on: the marker is on its way
                }
            }
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
