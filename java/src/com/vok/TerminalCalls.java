// Hands the VM's terminal to a program started through ProcessBuilder, under the one count of calls that every path shares.
package com.vok;

import java.io.IOException;
import java.util.Objects;

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

    /** {@link Terminal#shell}: the program checked, then run through the library under the guard. */
    static int shell(String program) {
        Executables.checkRunnable(program);
        boolean guarded = SigintGuard.enter();
        try {
            return LinuxNative.shell(program);
        } finally {
            if (guarded) SigintGuard.leave();
        }
    }

    /** {@link Terminal#edit}: the editor and the file's name checked, then as {@link #shell}. */
    static int edit(String editor, String file) {
        Executables.checkCarried(Objects.requireNonNull(file, "file"));
        Executables.checkRunnable(editor);
        boolean guarded = SigintGuard.enter();
        try {
            return LinuxNative.edit(editor, UserEditor.asFileName(file));
        } finally {
            if (guarded) SigintGuard.leave();
        }
    }

    /** {@link Terminal#run}: modes put back after a death by a signal, where the terminal is in use. */
    static int run(ProcessBuilder builder) throws IOException {
        boolean[] onTerminal = TerminalModes.descriptorsOnTheTerminal();
        return run(builder, onTerminal[0] || onTerminal[1] || onTerminal[2], false);
    }

    /**
     * Runs {@code builder}'s program under the SIGINT guard and waits for it, whatever interrupts
     * the thread. When this call is alone and the VM has the foreground of a terminal that
     * {@code usesTerminal} says is in use, the modes are saved first, and put back when the program
     * is the last to end and {@code always} is true, or it died by a signal (a status above 128).
     */
    static int run(ProcessBuilder builder, boolean usesTerminal, boolean always) throws IOException {
        boolean alone = countCallIn();
        try {
            TerminalModes modes = null;
            int status = -1;
            try {
                modes = alone ? TerminalModes.saveIfInForeground(usesTerminal) : null;
                status = runGuarded(builder);
            } finally {
                if (countProgramOut() && modes != null && (always || status > 128)) modes.restoreIfInForeground();
            }
            return status;
        } finally {
            countCallOut();
        }
    }

    private static int runGuarded(ProcessBuilder builder) throws IOException {
        boolean guarded = SigintGuard.enter();
        try {
            return TerminalModes.waitFor(builder.start());
        } finally {
            if (guarded) SigintGuard.leave();
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
