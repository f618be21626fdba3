// A tool's output through the user's pager: real less and more on a real terminal, and a scripted
// pager that reports what it was given; nothing pages where the output is not the terminal.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
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
    // input; named `less` where secure mode must find it on PATH.
    private Path scriptedPager(String name) throws Exception {
        Path pager = Files.writeString(dir.resolve(name), "#!/bin/sh\n{ printf 'argv:'; printf ' [%s]' \"$0\" \"$@\"; echo\n"
                + "  echo \"LESS=${LESS-unset} LV=${LV-unset} LESSSECURE=${LESSSECURE-unset}\"\n"
                + "} > " + dir + "/info\nfor fd in 0 1 2; do [ -t $fd ] && t=terminal || t=not; echo \"$fd $t\" >> " + dir + "/info; done\n"
                + "cat > " + dir + "/bytes; sleep 0.5; echo pager-done\n");
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
        Object[][] cases = {  // the tool's variable, PAGER, LESS, what the tool does, what the pager records
            {pager.toString(), "more", null, "text", info + TEXT},
            {null, pager.toString(), "-S", "nested", info.replace("LESS=FRX", "LESS=-S") + "outer\ninner true\nouter again\n"},
            // Through sh, as git runs a value with blanks; the VM waits for the pager at exit.
            {"sh " + pager, null, null, "exit", info + "left open\n"},
        };
        for (Object[] c : cases) {
            Files.deleteIfExists(dir.resolve("info"));
            List<String> variables = new ArrayList<>();
            if (c[0] != null) variables.addAll(List.of("MYTOOL_PAGER", (String) c[0]));
            if (c[1] != null) variables.addAll(List.of("PAGER", (String) c[1]));
            if (c[2] != null) variables.addAll(List.of("LESS", (String) c[2]));
            try (TmuxSession terminal = terminal(variables.toArray(String[]::new))) {
                terminal.typeLine(tool((String) c[3]) + "; echo tool-ended-$((40+2))");
                terminal.await("^pager-done\n(.*\n)*tool-ended-42$");
            }
            assertEquals(c[4], recorded(), (String) c[3]);
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
            for (String none : new String[] {"MYTOOL_PAGER=cat", "MYTOOL_PAGER=", "TERM=dumb", "MYTOOL_PAGER=vokrane-no-pager"}) {
                terminal.typeLine(none + " " + tool("lines", "2") + "; echo tool-ended-$((40+2))");
                terminal.await("^line 1\nline 2\npaging false, wrote 2 lines\ntool-ended-42$");
                terminal.typeLine("clear");
            }
            // Named but missing: said once, and nothing is lost.
            terminal.typeLine("MYTOOL_PAGER=vokrane-no-pager " + tool("text"));
            terminal.await("^vokrane: not paging: the pager \"vokrane-no-pager\" from MYTOOL_PAGER is not a program on PATH \\(.*\\)\n"
                    + "caf\u00e9 \u2603\nsecond line$");
        }
        assertFalse(Files.exists(dir.resolve("info")));
    }

    @Test
    void whoeverOwnsTheTerminalIsNotTheVmsUserSoOnlyLessPagesInSecureMode() throws Exception {
        scriptedPager("less");
        try (TmuxSession terminal = terminal("MYTOOL_PAGER", "vokrane-ignored", "PAGER", "more")) {
            terminal.typeLine("chown 65534 $(tty); PATH=" + dir + ":$PATH " + tool("text") + "; chown 0 $(tty); echo tool-ended-$((40+2))");
            terminal.await("^pager-done\ntool-ended-42$");
        }
        assertEquals("argv: [" + dir + "/less]\nLESS=FRX LV=-c LESSSECURE=1\n0 not\n1 terminal\n2 terminal\n" + TEXT, recorded());
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
            terminal.typeLine("clear; " + before + tool("lines", "1000000000") + after);
            terminal.await("^line 39\n:");
            terminal.press("C-c");
            Thread.sleep(500);  // less repaints after an interrupt, and drops what is typed meanwhile
            terminal.type("q");
            assertTrue(Long.parseLong(terminal.await("^paging true, wrote ([0-9]+) lines\ntool-ended-42$").group(1)) < 1_000_000);
            assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
            // less killed from outside: the modes come back, and the tool stops.
            terminal.typeLine("clear; " + before + tool("lines", "1000000000") + after);
            terminal.await("^line 39\n:");
            new ProcessBuilder("pkill", "-KILL", "-x", "less", "-t", terminal.paneTty().substring(5)).start().waitFor();
            terminal.await("paging true, wrote [0-9]+ lines\ntool-ended-42$");  // after less's last prompt
            assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
            // more, as PAGER names it.
            terminal.typeLine("clear; PAGER=more " + tool("lines", "100") + after);
            terminal.await("--More--");
            terminal.type("q");
            terminal.await("^paging true, wrote 100 lines\ntool-ended-42$");
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
