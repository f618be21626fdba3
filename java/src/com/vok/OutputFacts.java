// What a tool decides its output by: which standard streams are terminals, how wide, and whether to colour them.
package com.vok;

import java.io.File;
import java.io.IOException;
import java.lang.ProcessBuilder.Redirect;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;

final class OutputFacts {
    static final int DEFAULT_WIDTH = 80;

    private OutputFacts() {}

    /**
     * Whether descriptor {@code fd} (0, 1 or 2) is a terminal, as {@code isatty} says: from Linux's
     * {@code /proc}, by the device's number among the kernel's terminal drivers, where there is
     * one; else by asking {@code sh} ({@code test -t}), as on macOS and the BSDs.
     */
    static boolean isTerminal(int fd) {
        checkStandard(fd);
        try {
            long device = (Long) Files.getAttribute(Path.of("/proc/self/fd/" + fd), "unix:rdev");
            int mode = (Integer) Files.getAttribute(Path.of("/proc/self/fd/" + fd), "unix:mode");
            return (mode & 0170000) == 0020000 && isTerminalDevice(device, Files.readAllLines(Path.of("/proc/tty/drivers")));
        } catch (IOException | RuntimeException noProc) {
            return askShell(fd);
        }
    }

    static void checkStandard(int fd) {
        if (fd < 0 || fd > 2) throw new IllegalArgumentException("descriptor " + fd + " is not 0, 1 or 2");
    }

    // Whether Linux's device number `device` is one that a line of /proc/tty/drivers ("name node
    // major minor-range type") names: the kernel's own list of terminals, ptys, consoles and serial lines.
    static boolean isTerminalDevice(long device, List<String> drivers) {
        long major = (device >>> 8 & 0xfff) | (device >>> 32 & 0xfffff000L);
        long minor = (device & 0xff) | (device >>> 12 & 0xffffff00L);
        for (String driver : drivers) {
            String[] fields = driver.trim().split("\\s+");
            if (fields.length < 4 || !fields[2].equals(String.valueOf(major))) continue;
            String[] range = fields[3].split("-");
            if (minor >= Long.parseLong(range[0]) && minor <= Long.parseLong(range[range.length - 1])) return true;
        }
        return false;
    }

    // sh given the VM's three streams, answering in its exit status; unknown counts as not.
    private static boolean askShell(int fd) {
        try {
            Process test = new ProcessBuilder("sh", "-c", "test -t " + fd).inheritIO().start();
            return TerminalFacts.waitFor(test) == 0;
        } catch (IOException noShell) {
            return false;
        }
    }

    /**
     * The columns of the terminal on standard output, else on standard error, else {@code $COLUMNS}
     * when it is a positive number, else {@value #DEFAULT_WIDTH}. A terminal's size is read by
     * {@code stty size} on the stream itself, which needs no controlling terminal.
     */
    static int width(Map<String, String> environment) {
        for (int fd = 1; fd <= 2; fd++) {
            if (!isTerminal(fd)) continue;
            int columns = columnsOf(fd);
            if (columns > 0) return columns;
        }
        try {
            int columns = Integer.parseInt(environment.getOrDefault("COLUMNS", ""));
            if (columns > 0) return columns;
        } catch (NumberFormatException notANumber) {
            // the default, then
        }
        return DEFAULT_WIDTH;
    }

    // "rows columns" from stty, whose input is the VM's descriptor `fd` opened anew; 0 when unknown.
    private static int columnsOf(int fd) {
        try {
            Process stty = new ProcessBuilder("stty", "size").redirectInput(Redirect.from(new File("/dev/fd/" + fd)))
                    .redirectError(Redirect.DISCARD).start();
            String[] size = new String(stty.getInputStream().readAllBytes(), StandardCharsets.US_ASCII).strip().split(" ");
            return TerminalFacts.waitFor(stty) == 0 && size.length == 2 ? Integer.parseInt(size[1]) : 0;
        } catch (IOException | RuntimeException unknown) {
            return 0;
        }
    }

    /**
     * Whether stream {@code fd} should get colour, by the conventions people set: never with
     * {@code NO_COLOR} set and not empty; always with {@code CLICOLOR_FORCE} set and not {@code 0};
     * otherwise when it is a terminal, {@code TERM} is set and not {@code dumb}, and {@code CLICOLOR}
     * is not {@code 0}.
     */
    static boolean colorEnabled(Map<String, String> environment, int fd) {
        checkStandard(fd);
        String noColor = environment.get("NO_COLOR");
        if (noColor != null && !noColor.isEmpty()) return false;
        String force = environment.get("CLICOLOR_FORCE");
        if (force != null && !force.equals("0")) return true;
        return !"0".equals(environment.get("CLICOLOR")) && !TerminalFacts.isDumb(environment) && isTerminal(fd);
    }
}
