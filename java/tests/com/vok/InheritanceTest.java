// Through a real VM, the program sees the VM's descriptors, signal dispositions, environment,
// directory, umask, limits, process group, session and terminal, unchanged, and no blocked signal.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.TreeSet;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class InheritanceTest {
    private static final Path REPORTER = Path.of(System.getProperty("vokrane.stateReporter"));
    private static final long O_CLOEXEC = 02000000;

    @TempDir Path dir;

    private static void add(Map<String, List<String>> report, String line) {
        int colon = line.indexOf(':');
        int space = line.indexOf(' ');
        int split = colon < 0 ? space : space < 0 ? colon : Math.min(colon, space);
        report.computeIfAbsent(line.substring(0, split), key -> new ArrayList<>()).add(line.substring(split + 1).strip());
    }

    private static Map<String, List<String>> parse(List<String> lines) {
        Map<String, List<String>> report = new TreeMap<>();
        lines.forEach(line -> add(report, line));
        return report;
    }

    private static String callingThreadsMask() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/thread-self/status"))) {
            if (line.startsWith("SigBlk:")) return line;
        }
        throw new IOException("no SigBlk in /proc/thread-self/status");
    }

    /** What the program should see, read from this VM and the calling thread just before the call. */
    private static Map<String, List<String>> describeVm() throws IOException {
        Map<String, List<String>> report = new TreeMap<>();
        try (var fds = Files.list(Path.of("/proc/self/fd"))) {
            for (Path fd : fds.toList()) {
                String number = fd.getFileName().toString();
                String flags;
                String target;
                try {
                    flags = Files.readAllLines(Path.of("/proc/self/fdinfo", number)).get(1);
                    target = Files.readSymbolicLink(fd).toString();
                } catch (IOException closedMeanwhile) {
                    continue;
                }
                if (target.equals("/proc/" + ProcessHandle.current().pid() + "/fd")) continue;  // this listing's own
                if ((Long.parseLong(flags.substring(flags.indexOf(':') + 1).strip(), 8) & O_CLOEXEC) == 0) {
                    add(report, "fd " + number + " " + target);
                }
            }
        }
        for (String line : Files.readAllLines(Path.of("/proc/thread-self/status"))) {
            if (line.matches("(SigIgn|Umask):.*")) add(report, line);
        }
        // The VM blocks signals for its own use in its threads (SIGQUIT); the program blocks none.
        report.put("SigBlk", List.of("0000000000000000"));
        report.put("blocked", List.of("0"));  // as the program reads its own mask
        report.put("SigCgt", List.of("0000000000000000"));
        String stat = Files.readString(Path.of("/proc/self/stat"));
        String[] fields = stat.substring(stat.lastIndexOf(')') + 2).split(" ");
        report.put("pgrp", List.of(fields[2]));
        report.put("session", List.of(fields[3]));
        report.put("tty", List.of(fields[4]));
        report.put("cwd", List.of(System.getProperty("user.dir")));
        Files.readAllLines(Path.of("/proc/self/limits")).forEach(line -> add(report, "limit " + line));
        List<String> environment = new ArrayList<>();
        System.getenv().forEach((name, value) -> environment.add(name + "=" + value));
        report.put("env", environment);
        return report;
    }

    @Test
    void theProgramSeesWhatTheVmHas() throws Exception {
        Path out = dir.resolve("report");
        Map<String, List<String>> expected = describeVm();
        String mask = callingThreadsMask();
        int pid = LinuxNative.edit(REPORTER.toString(), out.toString());
        assertTrue(pid > 0);
        assertEquals(mask, callingThreadsMask());
        assertSeen(expected, parse(Files.readAllLines(out)));
    }

    @Test
    void aShellStartsWithNoSignalBlockedEither() throws Exception {
        Path out = dir.resolve("report");
        Path script = dir.resolve("reporter");
        Files.writeString(script, "#!/bin/sh\nexec '" + REPORTER + "' '" + out + "'\n");
        script.toFile().setExecutable(true);
        assertTrue(callingThreadsMask().matches("SigBlk:\\s*0*[1-9a-f][0-9a-f]*"), "this thread blocks no signal, so the test could not tell");
        assertTrue(LinuxNative.shell(script.toString()) > 0);
        assertEquals(List.of("0000000000000000"), parse(Files.readAllLines(out)).get("SigBlk"));
    }

    private static void assertSeen(Map<String, List<String>> expected, Map<String, List<String>> seen) {
        assertEquals(expected.keySet(), seen.keySet());
        for (String key : expected.keySet()) {
            if (key.equals("env") || key.equals("fd")) {
                assertEquals(new TreeSet<>(expected.get(key)), new TreeSet<>(seen.get(key)), key);
            } else {
                assertEquals(expected.get(key), seen.get(key), key);
            }
        }
    }
}
