// The VM's terminal as the ProcessBuilder paths see it: which one it is, whether the VM has its foreground, and its modes.
package com.vok;

import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;

/**
 * The VM's controlling terminal, read from {@code /proc/self/stat} (its device, the VM's process
 * group and the terminal's foreground group) and {@code /proc/self/fd} (which of descriptors 0, 1
 * and 2 are on it). Its modes are saved and put back with {@code stty}, run with the terminal as
 * its input; nothing runs at all unless the VM is in the terminal's foreground, where {@code stty}
 * cannot be stopped by SIGTTOU.
 */
final class TerminalModes {
    static final File TERMINAL = new File("/dev/tty");

    private final String saved;

    private TerminalModes(String saved) {
        this.saved = saved;
    }

    /** Which of descriptors 0, 1 and 2 are the VM's controlling terminal; all false without one. */
    static boolean[] descriptorsOnTheTerminal() {
        boolean[] on = new boolean[3];
        long terminal = stat()[2];
        for (int fd = 0; fd < 3 && terminal != 0; fd++) {
            try {
                on[fd] = ((Number) Files.getAttribute(Path.of("/proc/self/fd/" + fd), "unix:rdev")).longValue() == terminal;
            } catch (IOException | RuntimeException closedOrNoDevice) {
                on[fd] = false;
            }
        }
        return on;
    }

    /** Whether {@code TERM} is unset or {@code dumb}: a terminal that takes no escape sequence. */
    static boolean isDumb(Map<String, String> environment) {
        String term = environment.get("TERM");
        return term == null || term.equals("dumb");
    }

    /** Whether the VM has a controlling terminal, whatever its descriptors are. */
    static boolean hasTerminal() {
        return stat()[2] != 0;
    }

    /** Whether the VM's process group is its terminal's foreground. */
    static boolean inForeground() {
        long[] stat = stat();
        return stat[2] != 0 && stat[0] == stat[1];
    }

    /**
     * The terminal's modes, when the VM has the foreground of a terminal that {@code used} says is
     * in use; null otherwise, and then nothing has run.
     */
    static TerminalModes saveIfInForeground(boolean used) throws IOException {
        if (!used || !inForeground()) return null;
        Process stty = new ProcessBuilder("stty", "-g").redirectInput(TERMINAL).redirectError(ProcessBuilder.Redirect.INHERIT).start();
        String modes = new String(stty.getInputStream().readAllBytes(), StandardCharsets.US_ASCII).strip();
        return waitFor(stty) == 0 && !modes.isEmpty() ? new TerminalModes(modes) : null;
    }

    /** Puts the saved modes back, unless the VM has lost the foreground meanwhile. */
    void restoreIfInForeground() throws IOException {
        if (!inForeground()) return;
        waitFor(new ProcessBuilder("stty", saved).redirectInput(TERMINAL).redirectOutput(ProcessBuilder.Redirect.DISCARD)
                .redirectError(ProcessBuilder.Redirect.INHERIT).start());
    }

    // The fields of /proc/self/stat after the command's name that matter here: the process group,
    // the terminal's foreground group, and the terminal's device number (0 for none).
    private static long[] stat() {
        try {
            String after = Files.readString(Path.of("/proc/self/stat"));
            String[] fields = after.substring(after.lastIndexOf(')') + 2).split(" ");
            return new long[] {Long.parseLong(fields[2]), Long.parseLong(fields[5]), Long.parseLong(fields[4])};
        } catch (IOException | RuntimeException notLinux) {
            return new long[] {0, 0, 0};
        }
    }

    // Waits for the process to end, whatever interrupts the calling thread, whose interrupt is kept.
    static int waitFor(Process process) {
        boolean interrupted = false;
        try {
            for (;;) {
                try {
                    return process.waitFor();
                } catch (InterruptedException e) {
                    interrupted = true;
                }
            }
        } finally {
            if (interrupted) Thread.currentThread().interrupt();
        }
    }
}
