// The calls that hand the VM's terminal to a program, on every path, each one call of the one record.
package com.vok;

import java.io.IOException;
import java.util.List;
import java.util.Objects;
import java.util.function.Consumer;

/**
 * The calls that hand the terminal to a program: {@link LinuxNative}'s, and the ProcessBuilder
 * paths, each counted in {@link TerminalRun}'s one record, so that calls on every path leave each
 * other's programs alone.
 */
final class TerminalCalls {
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
            run(new ProcessBuilder(command).inheritIO(), null, false, process -> pid[0] = (int) process.pid());
        } catch (IOException notStartedOrModesNotPutBack) {
            // The pid says which.
        }
        return pid[0];
    }

    /** {@link Terminal#run}: modes put back after a death by a signal, where the terminal is in use. */
    static int run(ProcessBuilder builder) throws IOException {
        return run(builder, null, false, process -> { });
    }

    /**
     * Runs {@code builder}'s program as one call ({@link TerminalRun#begin}, given {@code facts} and
     * {@code always}), once the VM's pager, if one is open, has ended: never two of the VM's
     * programs on the terminal. Tells {@code started} of it, and waits for it whatever interrupts
     * the thread.
     */
    static int run(ProcessBuilder builder, TerminalFacts facts, boolean always, Consumer<Process> started) throws IOException {
        Pager.endPageForProgram();
        try {
            TerminalRun.Call call = TerminalRun.begin(facts, always);
            long pid = -1;
            int status = -1;
            try {
                Process process = builder.start();
                pid = process.pid();
                started.accept(process);
                status = TerminalFacts.waitFor(process);
            } finally {
                call.end(pid, status);
            }
            return status;
        } finally {
            Pager.programEnded();
        }
    }
}
