// A tool's output through the user's pager: real less and more on a real terminal, and a scripted
// pager that reports what it was given; nothing pages where the output is not the terminal.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class PagerTest {
    private static final String TEXT = "caf\u00e9 \u2603\nsecond line\n";

    @TempDir Path dir;

    private TmuxSession terminal(String... variables) throws Exception {
        Map<String, String> environment = new HashMap<>(Map.of("HOME", dir.toString(), "LC_ALL", "C.UTF-8", "TERM", "xterm"));
        for (int i = 0; i < variables.length; i += 2) environment.put(variables[i], variables[i + 1]);
        return new TmuxSession(dir, environment);
    }

    private static String tool(String... args) {
        return Built.JAVA + " " + Built.PINNED + " -cp " + Built.JAR + ":" + Built.TEST_CLASSES + " com.vok.PageTool "
                + String.join(" ", args);
    }

    // A pager that records its arguments, environment and which descriptors are terminals, then its
    // input, and adds to the events when it starts, reads the end of its input, and ends; named
    // `less` where secure mode must find it on PATH.
    private Path scriptedPager(String name) throws Exception {
        Path pager = Files.writeString(dir.resolve(name), "#!/bin/sh\necho start >> " + dir + "/events\n"
                + "{ printf 'argv:'; printf ' [%s]' \"$0\" \"$@\"; echo\n"
                + "  echo \"LESS=${LESS-unset} LV=${LV-unset} LESSSECURE=${LESSSECURE-unset}\"\n"
                + "} > " + dir + "/info\nfor fd in 0 1 2; do [ -t $fd ] && t=terminal || t=not; echo \"$fd $t\" >> " + dir + "/info; done\n"
                + "cat >> " + dir + "/bytes; echo eof >> " + dir + "/events; sleep 0.5; echo done >> " + dir + "/events; echo pager-done\n");
        pager.toFile().setExecutable(true);
        return pager;
    }

    private String recorded() throws Exception {
        return Files.readString(dir.resolve("info")) + Files.readString(dir.resolve("bytes"));
    }

    @Test
    void thePagerGetsTheBytesTheEnvironmentAndTheTerminalAsGitGivesThem() throws Exception {
        Path pager = scriptedPager("recorder");
        String info = "argv: [" + pager + "]\nLESS=FRX LV=-c LESSSECURE=unset\n0 not\n1 terminal\n2 terminal\n";
        String one = "start\neof\ndone\n";  // one pager's events
        Object[][] cases = {  // the tool's variable, PAGER, LESS, what the tool does, what the pager records, its
                              // events, what the screen shows after the last pager, the tool's exit status
            {pager.toString(), "more", null, "text", info + TEXT, one, "", 0},
            {null, pager.toString(), "-S", "nested", info.replace("LESS=FRX", "LESS=-S") + "outer\ninner true\nouter again\n", one,
                "inner after false\n", 0},
            // Through sh, as git runs a value with blanks; the VM waits for the pager at exit.
            {"sh " + pager, null, null, "exit", info + "left open\n", one, "", 0},
            {pager.toString(), null, null, "hook", info + "from the hook\n", one, "", 0},
            // One pager at a time: a second waits for the first to end, and so does an exit meanwhile.
            {pager.toString(), null, null, "threads", info + "first\nsecond\n", one + one, "", 0},
            {pager.toString(), null, null, "exit-closing", info + "first\n", one, "", 5},
            // A program ends the page first; a pager opened while it runs writes to standard output.
            {pager.toString(), null, null, "program", info + "paged\n", one + "program\n", "meanwhile paging false\n", 0},
        };
        for (Object[] c : cases) {
            for (String file : new String[] {"info", "bytes", "events", "opened"}) Files.deleteIfExists(dir.resolve(file));
            List<String> variables = new ArrayList<>();
            if (c[0] != null) variables.addAll(List.of("MYTOOL_PAGER", (String) c[0]));
            if (c[1] != null) variables.addAll(List.of("PAGER", (String) c[1]));
            if (c[2] != null) variables.addAll(List.of("LESS", (String) c[2]));
            try (TmuxSession terminal = terminal(variables.toArray(String[]::new))) {
                terminal.typeLine(tool((String) c[3]) + "; echo tool-ended-$?");
                terminal.await("^pager-done\n" + c[6] + "tool-ended-" + c[7] + "$");
            }
            assertEquals(c[4], recorded(), (String) c[3]);
            assertEquals(c[5], Files.readString(dir.resolve("events")), (String) c[3]);
        }
    }

    @Test
    void nothingPagesWhereTheOutputIsNotTheTerminalOrThePagerIsNone() throws Exception {
        scriptedPager("recorder");
        for (boolean toFile : new boolean[] {true, false}) {  // standard output a file, then a pipe
            ProcessBuilder vm = new ProcessBuilder(List.of("sh", "-c", tool("text") + (toFile ? " > out" : " | cat > out")))
                    .directory(dir.toFile());
            vm.environment().putAll(Map.of("MYTOOL_PAGER", dir + "/recorder", "TERM", "xterm", "LC_ALL", "C.UTF-8"));
            assertEquals(0, Built.run(vm).exitCode());
            assertEquals(TEXT, Files.readString(dir.resolve("out"), StandardCharsets.UTF_8));
        }
        try (TmuxSession terminal = terminal()) {
            for (String none : new String[] {"MYTOOL_PAGER=cat", "MYTOOL_PAGER=", "TERM=dumb", "MYTOOL_PAGER=vokrane-no-pager",
                    "MYTOOL_PAGER='~/vokrane-no-pager -x'"}) {
                terminal.typeLine(none + " " + tool("lines", "2") + "; echo tool-ended-$((40+2))");
                terminal.await("^line 1\nline 2\npaging false, wrote 2 lines\ntool-ended-42$");
                terminal.clear();
            }
            // Named but missing: said once, and nothing is lost.
            terminal.typeLine("MYTOOL_PAGER=vokrane-no-pager " + tool("text"));
            terminal.await("^vokrane: not paging: the pager \"vokrane-no-pager\" from MYTOOL_PAGER is not a program on PATH \\(.*\\)\n"
                    + "caf\u00e9 \u2603\nsecond line$");
        }
        assertFalse(Files.exists(dir.resolve("info")));
    }

    @Test
    void aToolLearnsWhichStreamsAreTerminalsTheirWidthAndWhetherToColourThem() throws Exception {
        String[][] cases = {  // before the tool, after it, what it says
            {"", "", "terminal true true true, width 120, colour true true"},
            {"", " > out; cat out", "terminal true false true, width 120, colour false true"},
            {"COLUMNS=100 ", " < /dev/null 2>&1 | cat", "terminal false false false, width 100, colour false false"},
            {"COLUMNS=x CLICOLOR_FORCE=1 ", " 2>&1 | cat", "terminal true false false, width 80, colour true true"},
            {"setsid -w ", "", "terminal true true true, width 120, colour true true"},  // no controlling terminal
            {"NO_COLOR=1 CLICOLOR_FORCE=1 ", "", "terminal true true true, width 120, colour false false"},
            {"CLICOLOR=0 ", "", "terminal true true true, width 120, colour false false"},
            {"TERM=dumb ", "", "terminal true true true, width 120, colour false false"},
        };
        try (TmuxSession terminal = terminal()) {
            for (String[] c : cases) {
                terminal.clear();
                terminal.typeLine(c[0] + tool("facts") + c[1]);
                terminal.await("^" + c[2] + "$");
            }
        }
        for (int fd : new int[] {-1, 3}) assertThrows(IllegalArgumentException.class, () -> Terminal.isTerminal(fd));
    }

    @Test
    void whoeverOwnsTheTerminalOnStandardOutputIsNotTheVmsUserSoOnlyLessPagesInSecureMode() throws Exception {
        scriptedPager("less");
        Path theirs = Files.writeString(dir.resolve("theirs"), "");
        Files.setAttribute(theirs, "unix:uid", 65534);
        // The terminal's owner, and standard input another's than standard output's, both ways round.
        String[][] cases = {{"65534", "< /dev/null MYTOOL_PAGER=vokrane-ignored PAGER=more", "1"}, {"0", "< " + theirs, "unset"}};
        for (String[] c : cases) {
            for (String file : new String[] {"info", "bytes"}) Files.deleteIfExists(dir.resolve(file));
            try (TmuxSession terminal = terminal()) {
                terminal.typeLine("chown " + c[0] + " $(tty); PATH=" + dir + ":$PATH " + c[1] + " " + tool("text")
                        + "; chown 0 $(tty); echo tool-ended-$((40+2))");
                terminal.await("^pager-done\ntool-ended-42$");
            }
            assertEquals("argv: [" + dir + "/less]\nLESS=FRX LV=-c LESSSECURE=" + c[2] + "\n0 not\n1 terminal\n2 terminal\n" + TEXT,
                    recorded(), c[1]);
        }
    }

    @Test
    void underARealSudoNoShellEscapeWorksFromThePagerWithOrWithoutItsOwnTerminal() throws Exception {
        Path sudoers = Path.of("/etc/sudoers.d/vokrane-test-" + ProcessHandle.current().pid());
        Path timestamp = Path.of("/run/sudo/ts/nobody");
        boolean hadTimestamp = Files.exists(timestamp);
        try {
            for (String pty : new String[] {"use_pty", "!use_pty"}) {
                Files.writeString(sudoers, "Defaults:nobody " + pty + "\nnobody ALL=(root) NOPASSWD: " + Built.JAVA + "\n");
                Files.setPosixFilePermissions(sudoers, java.nio.file.attribute.PosixFilePermissions.fromString("r--r-----"));
                try (TmuxSession terminal = terminal()) {
                    terminal.typeLine("chown 65534 $(tty); cd /; runuser -u nobody -- sudo -n " + tool("lines", "1000")
                            + "; chown 0 $(tty); echo tool-ended-$((40+2))");
                    terminal.await("^line 39\n:");
                    for (String escape : new String[] {"!", "|", "v", ":e"}) {
                        terminal.type(escape);
                        terminal.await("^Command not available  \\(press RETURN\\)");
                        terminal.press("Enter");
                        terminal.await("^line 39\n:$");
                    }
                    terminal.type("q");
                    terminal.await("^paging true, wrote [0-9]+ lines\ntool-ended-42$");
                }
            }
        } finally {
            Files.deleteIfExists(sudoers);
            if (!hadTimestamp) Files.deleteIfExists(timestamp);
        }
    }

    @Test
    void realLessAndMoreOnOneScreenALongTextAnEarlyQuitCtrlCAndAKill() throws Exception {
        try (TmuxSession terminal = terminal()) {
            String before = "stty -g > stty-before; ";
            String after = "; stty -g > stty-after; echo tool-ended-$((40+2))";
            // One screen: less quits at once and leaves the text.
            terminal.typeLine(before + tool("lines", "3") + after);
            terminal.await("^line 1\nline 2\nline 3\npaging true, wrote 3 lines\ntool-ended-42$");
            // A billion lines: Ctrl-C goes to less, q ends it, and the tool stops within a few writes.
            terminal.clear();
            terminal.typeLine(before + tool("lines", "1000000000") + after);
            terminal.await("^line 39\n:");
            terminal.press("C-c");
            // less repaints after an interrupt, and drops what is typed meanwhile.
            String ended = "^paging true, wrote ([0-9]+) lines\ntool-ended-42$";
            assertTrue(Long.parseLong(terminal.pressUntil("q", ended).group(1)) < 1_000_000);
            assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
            // less killed from outside: the modes come back, and the tool stops.
            terminal.clear();
            terminal.typeLine(before + tool("lines", "1000000000") + after);
            terminal.await("^line 39\n:");
            new ProcessBuilder("pkill", "-KILL", "-x", "less", "-t", terminal.paneTty().substring(5)).start().waitFor();
            terminal.await("paging true, wrote [0-9]+ lines\ntool-ended-42$");  // after less's last prompt
            assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
            // more, as PAGER names it.
            terminal.clear();
            terminal.typeLine("PAGER=more " + tool("lines", "100") + after);
            terminal.await("--More--");
            terminal.type("q");
            terminal.await("^paging true, wrote 100 lines\ntool-ended-42$");
            // Once the user has left it, Ctrl-C ends a tool that goes on writing without asking.
            terminal.clear();
            terminal.typeLine(tool("slow") + "; echo tool-ended-$?");
            terminal.await("^line 39\n:");
            terminal.type("q");
            terminal.pressUntil("C-c", "tool-ended-130$");  // after the ^C echoed on its line
        }
    }

    @Test
    void theGuidesPicocliToolPagesItsEntries() throws Exception {
        String classPath = Built.JAR + ":/usr/share/java/picocli.jar";
        Built.compileFromGuide("Log", classPath, dir);
        try (TmuxSession terminal = terminal("LOG_PAGER", scriptedPager("recorder").toString())) {
            terminal.typeLine(Built.JAVA + " " + Built.PINNED + " -cp " + classPath + ":. Log --count 3; echo tool-ended-$((40+2))");
            terminal.await("^pager-done\ntool-ended-42$");
        }
        assertTrue(recorded().endsWith("\nentry 1\nentry 2\nentry 3\n"), recorded());
    }
}
