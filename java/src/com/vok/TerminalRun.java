// The record of the run of calls in flight, in the library wherever it loads without a warning and in the VM where it does not.
package com.vok;

import java.io.IOException;

/**
 * One record for every call that hands the terminal to a program, kept by one of two backends.
 * A run is a stretch of overlapping calls: the call that begins while no other call's program
 * runs notes the terminal's modes, and whichever call of the run ends last takes back the
 * foreground and, when any call of the run wanted them (its program died by a signal, or it was an
 * editor's or a pager's), puts those modes back. Modes seen while another call's program ran may be
 * that program's, and are never put back.
 *
 * <p>The library keeps the record, notes and puts back the modes and takes the foreground back
 * with no process, whenever it is loaded already or loads without a warning: on any JDK before 22, and
 * from 22 on when native access is enabled for this module (or the class path). Elsewhere the VM
 * keeps it, and the modes go through {@code stty} ({@link TerminalFacts}): one process before a
 * run, when it is learnt, and one after it; the foreground stays where the program left it.
 * Should the library load later ({@link LinuxNative} used directly), the VM's calls in flight move
 * into its record, with their modes dropped.
 */
final class TerminalRun {
    private static volatile boolean inLibrary;
    // The VM's record, until the library's takes over; guarded by TerminalRun.class.
    private static int programs;
    private static String modes;
    private static boolean modesWanted;

    private TerminalRun() {}

    /**
     * Counts a call in, before its program starts, and guards SIGINT. {@code facts} are the VM's
     * terminal as the caller learnt it, or null: learnt here if the VM keeps the record. An editor's
     * or pager's call ({@code always}) wants the modes back however it ends, and has them noted
     * wherever the VM has a terminal; another call only when one of its standard streams is on it.
     */
    static Call begin(TerminalFacts facts, boolean always) {
        if (usesLibrary() || !beginInVm(facts, always)) LinuxNative.beginTerminalCall(false);
        return new Call(always, SigintGuard.enter());
    }

    private static boolean usesLibrary() {
        boolean mayLoad = NativeLibrary.isLoaded() || NativeLibrary.loadsQuietly();
        if (!inLibrary && mayLoad && NativeLibrary.isAvailable()) LinuxNative.initialize();
        return inLibrary;
    }

    private static synchronized boolean beginInVm(TerminalFacts facts, boolean always) {
        if (inLibrary) return false;
        if (programs == 0) {
            TerminalFacts now = facts != null ? facts : TerminalFacts.learn();
            boolean used = always ? now.hasTerminal() : now.usesTerminal();
            modes = used && now.inForeground() ? now.modes() : null;
            modesWanted = false;
        }
        programs++;
        return true;
    }

    private static synchronized boolean endInVm(long program, boolean wanted) throws IOException {
        if (inLibrary) return false;
        modesWanted |= wanted;
        if (--programs > 0) return true;
        String noted = modes;
        modes = null;
        if (program != -1 && noted != null && modesWanted) TerminalFacts.putBack(noted);
        return true;
    }

    /** Moves the VM's record into the library's, as {@link LinuxNative} is first used. */
    static synchronized void moveIntoLibrary() {
        for (; programs > 0; programs--) LinuxNative.beginTerminalCall(true);
        modes = null;
        inLibrary = true;
    }

    /** One call, between {@link #begin} and its end. */
    static final class Call {
        private final boolean always;
        private boolean guarded;  // guarded by this

        private Call(boolean always, boolean guarded) {
            this.always = always;
            this.guarded = guarded;
        }

        /** Lets Ctrl-C reach the VM again, as far as this call goes, before its end: its program has ended. */
        synchronized void releaseGuard() {
            if (guarded) SigintGuard.leave();
            guarded = false;
        }

        /**
         * Ends the call once its program {@code program} (-1 when it did not start) has ended with
         * {@code status}, a status above 128 being a death by a signal, as shells take it.
         *
         * @throws IOException when the VM keeps the record and {@code stty} could not be started
         */
        void end(long program, int status) throws IOException {
            releaseGuard();
            boolean wanted = always || status > 128;
            if (!endInVm(program, wanted)) LinuxNative.endTerminalCall(program, wanted);
        }
    }
}
