// Hands the VM's terminal to a program started through ProcessBuilder, under the one count of calls that every path shares.
package com.vok;

import java.io.IOException;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * One call that hands the terminal to a program started through {@link ProcessBuilder}, counted
 * with {@link LinuxNative}'s calls in the library's count, so that calls on either path keep its
 * rule: a call that begins while another call is in flight notes no modes, and only the last
 * program to end lets its call put anything back. Where the library does not load, no call of
 * {@link LinuxNative} can run, and a count of the VM's own keeps the rule among these.
 */
final class TerminalCalls {
    private static final AtomicInteger CALLS_IN_FLIGHT = new AtomicInteger();
    private static final AtomicInteger PROGRAMS_RUNNING = new AtomicInteger();

    private TerminalCalls() {}

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

    private static boolean countCallIn() {
        if (NativeLibrary.isAvailable()) return LinuxNative.countCallIn();
        boolean alone = CALLS_IN_FLIGHT.getAndIncrement() == 0;
        PROGRAMS_RUNNING.incrementAndGet();
        return alone;
    }

    private static boolean countProgramOut() {
        return NativeLibrary.isAvailable() ? LinuxNative.countProgramOut() : PROGRAMS_RUNNING.getAndDecrement() == 1;
    }

    private static void countCallOut() {
        if (NativeLibrary.isAvailable()) LinuxNative.countCallOut();
        else CALLS_IN_FLIGHT.decrementAndGet();
    }
}
