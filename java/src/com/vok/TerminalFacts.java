// The VM's terminal as a call sees it before handing it over: which standard streams are on it, whether the VM has its foreground, its owner and modes.
package com.vok;

import java.io.File;
import java.io.IOException;
import java.lang.ProcessBuilder.Redirect;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.Map;

/**
 * The VM's controlling terminal. Where Linux's {@code /proc} is, it is read with no process:
 * {@code /proc/self/stat} gives the terminal's device, the VM's process group and the terminal's
 * foreground group, and {@code /proc/self/fd} which of descriptors 0, 1 and 2 are on it and whose
 * it is. Elsewhere (macOS, the BSDs, a Linux without {@code /proc}) one {@code sh} script learns it
 * all with the POSIX programs those systems have: {@code test -t} for descriptors 0 and 1,
 * {@code ps -o} for the foreground and the terminal's name, {@code id} for the VM's users, and
 * {@code stty -g} for the modes; descriptor 2 and the owner come from {@code /dev/fd} where the
 * system has one. A fact not learnt is the safe answer: not on the terminal, not in the
 * foreground, an owner unknown. Modes are only ever put back while the VM has the foreground,
 * where {@code stty} cannot be stopped by SIGTTOU.
 */
final class TerminalFacts {
    static final File TERMINAL = new File("/dev/tty");
    // Given the VM's process ID, its standard input and output, and a pipe as its error, on which it answers.
    private static final String LEARN = "t=; test -t 0 && t=${t}0; test -t 1 && t=${t}1; exec 1>&2 2>/dev/null; echo on $t;"
            + " echo ids $(id -ru) $(id -u); echo ps $(ps -o tpgid= -o pgid= -o tty= -p \"$1\");"
            + " true </dev/tty && echo modes $(stty -g </dev/tty)";
    // Given the VM's process ID and the modes: puts them back when the VM has the foreground.
    private static final String PUT_BACK = "m=$2; set -- $(ps -o tpgid= -o pgid= -p \"$1\" 2>/dev/null);"
            + " test -n \"$1\" && test \"$1\" = \"$2\" && exec stty \"$m\" </dev/tty";

    private final boolean[] onTerminal;
    private final boolean hasTerminal;
    private final boolean inForeground;
    private final boolean fromProc;
    private final Path device;  // the terminal's device file, as the script named it
    private final int[] users;  // real and effective, as the script learnt them
    private String modes;  // as the script learnt them, or read when first asked for

    private TerminalFacts(boolean[] onTerminal, boolean hasTerminal, boolean inForeground, boolean fromProc, Path device,
            int[] users, String modes) {
        this.onTerminal = onTerminal;
        this.hasTerminal = hasTerminal;
        this.inForeground = inForeground;
        this.fromProc = fromProc;
        this.device = device;
        this.users = users;
        this.modes = modes;
    }

    /** The facts as they are now: from {@code /proc} with no process, else from one script. */
    static TerminalFacts learn() {
        long[] stat = stat();
        if (stat == null) return fromScript();
        boolean[] on = new boolean[3];
        for (int fd = 0; fd < 3 && stat[2] != 0; fd++) on[fd] = stat[2] == deviceOf(Path.of("/proc/self/fd/" + fd));
        return new TerminalFacts(on, stat[2] != 0, stat[2] != 0 && stat[0] == stat[1], true, null, null, null);
    }

    private static TerminalFacts fromScript() {
        Map<String, String> said = new HashMap<>();
        try {
            Process sh = new ProcessBuilder("sh", "-c", LEARN, "sh", String.valueOf(ProcessHandle.current().pid()))
                    .redirectInput(Redirect.INHERIT).redirectOutput(Redirect.INHERIT).start();
            String lines = new String(sh.getErrorStream().readAllBytes(), StandardCharsets.US_ASCII);
            waitFor(sh);
            for (String line : lines.split("\n")) {
                int space = line.indexOf(' ');
                said.putIfAbsent(space < 0 ? line : line.substring(0, space), space < 0 ? "" : line.substring(space + 1));
            }
        } catch (IOException | RuntimeException noShell) {
            // Nothing learnt.
        }
        String[] ps = said.getOrDefault("ps", "").split(" ");
        Path device = ps.length == 3 && !ps[2].startsWith("?") ? Path.of("/dev", ps[2]) : null;
        String on = said.getOrDefault("on", "");
        long terminal = device == null ? -1 : deviceOf(device);
        boolean[] onTerminal = {on.contains("0"), on.contains("1"), terminal != -1 && deviceOf(Path.of("/dev/fd/2")) == terminal};
        String[] ids = said.getOrDefault("ids", "").split(" ");
        int[] users = ids.length == 2 && ids[0].matches("\\d+") && ids[1].matches("\\d+")
                ? new int[] {Integer.parseInt(ids[0]), Integer.parseInt(ids[1])} : null;
        boolean inForeground = ps.length == 3 && ps[0].matches("\\d+") && ps[0].equals(ps[1]);
        String modes = said.get("modes");
        return new TerminalFacts(onTerminal, modes != null, inForeground, false, device, users,
                modes == null || modes.isEmpty() ? null : modes);
    }

    /** Whether descriptor {@code fd} (0, 1 or 2) is on the VM's controlling terminal. */
    boolean onTerminal(int fd) {
        return onTerminal[fd];
    }

    /** Whether any of the VM's standard streams is on its terminal. */
    boolean usesTerminal() {
        return onTerminal[0] || onTerminal[1] || onTerminal[2];
    }

    /** Whether the VM has a controlling terminal, whatever its descriptors are. */
    boolean hasTerminal() {
        return hasTerminal;
    }

    /** Whether the VM's process group is its terminal's foreground. */
    boolean inForeground() {
        return inForeground;
    }

    /** The VM's real and effective user IDs. */
    int[] realAndEffective() throws IOException {
        return users != null ? users : Users.realAndEffective();
    }

    /** The owner of what descriptor 1 is: through {@code /proc}, else {@code /dev/fd}, else the terminal's device. */
    int ownerOfOutput() throws IOException {
        if (fromProc) return (Integer) Files.getAttribute(Path.of("/proc/self/fd/1"), "unix:uid");
        try {
            return (Integer) Files.getAttribute(Path.of("/dev/fd/1"), "unix:uid");
        } catch (IOException noDevFd) {
            if (!onTerminal[1] || device == null) throw noDevFd;
            return (Integer) Files.getAttribute(device, "unix:uid");
        }
    }

    /** The terminal's modes, when the VM has its foreground; null when they cannot be read. */
    String modes() {
        if (modes != null || !fromProc || !inForeground) return modes;
        try {
            Process stty = new ProcessBuilder("stty", "-g").redirectInput(TERMINAL).redirectError(Redirect.INHERIT).start();
            String read = new String(stty.getInputStream().readAllBytes(), StandardCharsets.US_ASCII).strip();
            if (waitFor(stty) == 0 && !read.isEmpty()) modes = read;
        } catch (IOException noStty) {
            // Unknown: nothing will be put back.
        }
        return modes;
    }

    /** Puts {@code modes} back, unless the VM has lost the foreground meanwhile: one process at most. */
    static void putBack(String modes) throws IOException {
        long[] stat = stat();
        ProcessBuilder builder;
        if (stat == null) builder = new ProcessBuilder("sh", "-c", PUT_BACK, "sh", String.valueOf(ProcessHandle.current().pid()), modes);
        else if (stat[2] != 0 && stat[0] == stat[1]) builder = new ProcessBuilder("stty", modes).redirectInput(TERMINAL);
        else return;
        waitFor(builder.redirectOutput(Redirect.DISCARD).redirectError(Redirect.INHERIT).start());
    }

    /** Whether {@code TERM} is unset or {@code dumb}: a terminal that takes no escape sequence. */
    static boolean isDumb(Map<String, String> environment) {
        String term = environment.get("TERM");
        return term == null || term.equals("dumb");
    }

    // The fields of /proc/self/stat after the command's name that matter here: the process group,
    // the terminal's foreground group, and the terminal's device number (0 for none); null without /proc.
    private static long[] stat() {
        try {
            String after = Files.readString(Path.of("/proc/self/stat"));
            String[] fields = after.substring(after.lastIndexOf(')') + 2).split(" ");
            return new long[] {Long.parseLong(fields[2]), Long.parseLong(fields[5]), Long.parseLong(fields[4])};
        } catch (IOException | RuntimeException noProc) {
            return null;
        }
    }

    // The device number of the file at `path`, or -1 when it has none or cannot be read.
    private static long deviceOf(Path path) {
        try {
            return ((Number) Files.getAttribute(path, "unix:rdev")).longValue();
        } catch (IOException | RuntimeException closedOrNoDevice) {
            return -1;
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
