// The calls that hand the VM's terminal to a program, on every path, and the one count of them all.
package com.vok;

import java.io.IOException;
import java.util.List;
import java.util.Objects;
import java.util.function.Consumer;

/**
 * The calls that hand the terminal to a program, and the one count of them that keeps
 * {@link LinuxNative}'s rule on every path: a call that begins while another call is in flight notes
 * no modes, and only the last program to end lets its call put anything back. The ProcessBuilder
 * paths count in the VM until {@link LinuxNative} is first used, and in the library's count, which
 * its own calls keep, from then on.
 */
final class TerminalCalls {
    // The VM's own count, until the library's takes over.
    private static int callsInFlight;
    private static int programsRunning;
    private static boolean inLibrary;

    private TerminalCalls() {}

    /**
     * {@link Terminal#shell}: the program checked, then run through the library under the guard;
     * where the library does not load, through {@link ProcessBuilder} as {@link Terminal#run} runs it.
     */
    static int shell(String program) {
        Executables.checkRunnable(program);
        return NativeLibrary.isAvailable() ? runThroughLibrary(program, null) : runWithoutLibrary(List.of(program));
    }

    /** {@link Terminal#edit}: the editor and the file's name checked, then as {@link #shell}. */
    static int edit(String editor, String file) {
        Executables.checkCarried(Objects.requireNonNull(file, "file"));
        Executables.checkRunnable(editor);
        String name = UserEditor.asFileName(file);
        return NativeLibrary.isAvailable() ? runThroughLibrary(editor, name) : runWithoutLibrary(List.of(editor, name));
    }

    private static int runThroughLibrary(String program, String file) {
        try {
            Pager.endPageForProgram();
        } catch (IOException modesNotPutBack) {
            // The page has ended all the same.
        }
        boolean guarded = SigintGuard.enter();
        try {
            return file == null ? LinuxNative.shell(program) : LinuxNative.edit(program, file);
        } finally {
            if (guarded) SigintGuard.leave();
            Pager.programEnded();
        }
    }

    // The program's process ID, or -1 when it could not be started, as the library gives them.
    private static int runWithoutLibrary(List<String> command) {
        int[] pid = {-1};
        try {
            run(new ProcessBuilder(command).inheritIO(), usesTerminal(), false, process -> pid[0] = (int) process.pid());
        } catch (IOException notStartedOrModesNotPutBack) {
            // The pid says which.
        }
        return pid[0];
    }

    /** {@link Terminal#run}: modes put back after a death by a signal, where the terminal is in use. */
    static int run(ProcessBuilder builder) throws IOException {
        return run(builder, usesTerminal(), false);
    }

    /** Runs {@code builder}'s program as one call, as the next does. */
    static int run(ProcessBuilder builder, boolean usesTerminal, boolean always) throws IOException {
        return run(builder, usesTerminal, always, process -> { });
    }

    /**
     * Runs {@code builder}'s program as one call ({@link #begin}), once the VM's pager, if one is
     * open, has ended: never two of the VM's programs on the terminal. Tells {@code started} of it,
     * and waits for it whatever interrupts the thread.
     */
    static int run(ProcessBuilder builder, boolean usesTerminal, boolean always, Consumer<Process> started) throws IOException {
        Pager.endPageForProgram();
        try {
            Call call = begin(usesTerminal);
            int status = -1;
            try {
                Process process = builder.start();
                started.accept(process);
                status = TerminalModes.waitFor(process);
            } finally {
                call.end(status, always);
            }
            return status;
        } finally {
            Pager.programEnded();
        }
    }

    // Whether any of the VM's standard streams is on its terminal.
    private static boolean usesTerminal() {
        boolean[] onTerminal = TerminalModes.descriptorsOnTheTerminal();
        return onTerminal[0] || onTerminal[1] || onTerminal[2];
    }

    /**
     * Counts a call in, before its program starts, and guards SIGINT. When the call is alone and the
     * VM has the foreground of a terminal that {@code usesTerminal} says is in use, the modes are
     * saved first.
     */
    static Call begin(boolean usesTerminal) throws IOException {
        boolean alone = countCallIn();
        TerminalModes modes;
        try {
            modes = alone ? TerminalModes.saveIfInForeground(usesTerminal) : null;
        } catch (IOException | RuntimeException e) {
            countProgramOut();
            countCallOut();
            throw e;
        }
        return new Call(modes, SigintGuard.enter());
    }

    /** One call, between {@link #begin} and its end. */
    static final class Call {
        private final TerminalModes modes;
        private boolean guarded;  // guarded by this

        private Call(TerminalModes modes, boolean guarded) {
            this.modes = modes;
            this.guarded = guarded;
        }

        /** Lets Ctrl-C reach the VM again, as far as this call goes, before its end: its program has ended. */
        synchronized void releaseGuard() {
            if (guarded) SigintGuard.leave();
            guarded = false;
        }

        /**
         * Ends the call once its program has ended with {@code status} (-1 when it did not start):
         * the guard lifts, and the saved modes come back when its program is the last to end and
         * {@code always} is true, or it died by a signal (a status above 128).
         */
        void end(int status, boolean always) throws IOException {
            releaseGuard();
            try {
                if (countProgramOut() && modes != null && (always || status > 128)) modes.restoreIfInForeground();
            } finally {
                countCallOut();
            }
        }
    }

    /**
     * Moves the VM's own count into the library's, as {@link LinuxNative} is first used: from then
     * on every call counts there. Until then no call of the library's can run, and the paths here
     * need not load it (which from JDK 22 on warns of a restricted method).
     */
    static synchronized void moveCountIntoLibrary() {
        for (int i = 0; i < callsInFlight; i++) LinuxNative.countCallIn();
        for (int i = programsRunning; i < callsInFlight; i++) LinuxNative.countProgramOut();
        inLibrary = true;
    }

    private static synchronized boolean countCallIn() {
        if (inLibrary) return LinuxNative.countCallIn();
        programsRunning++;
        return callsInFlight++ == 0;
    }

    private static synchronized boolean countProgramOut() {
        return inLibrary ? LinuxNative.countProgramOut() : programsRunning-- == 1;
    }

    private static synchronized void countCallOut() {
        if (inLibrary) LinuxNative.countCallOut();
        else callsInFlight--;
    }
}
