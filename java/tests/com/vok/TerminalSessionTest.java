// The demo on a real terminal: a shell and two editors get the VM's terminal and give it back intact.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.Map;
import java.util.regex.Matcher;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class TerminalSessionTest {
    @TempDir Path dir;

    private TmuxSession terminal(String... variables) throws Exception {
        Map<String, String> environment = new HashMap<>(Map.of("HOME", dir.toString(), "VISUAL", "", "EDITOR", "vi"));
        for (int i = 0; i < variables.length; i += 2) environment.put(variables[i], variables[i + 1]);
        return new TmuxSession(dir, environment);
    }

    /** Runs the demo with {@code args} between two readings of the terminal settings. */
    private void startDemo(TmuxSession terminal, String args) throws Exception {
        // tmux sets SHELL in the pane to its own default, so the demo's is given on the command line.
        terminal.typeLine("stty -g > stty-before; SHELL=/bin/sh " + Built.JAVA + " " + Built.PINNED + " -jar "
                + Built.JAR + " " + args + "; stty -g > stty-after; echo demo-ended-$((40+2))");
    }

    /** Waits for the demo to end and returns the process ID it reported for {@code program}. */
    private int awaitDemoEnd(TmuxSession terminal, String program) throws Exception {
        Matcher ended = terminal.await("vokrane: " + program + " ended \\(process ([0-9]+)\\)$");
        terminal.await("^demo-ended-42$");
        assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
        return Integer.parseInt(ended.group(1));
    }

    @Test
    void theShellRunsOnTheVmsTerminalAndExitGivesControlBack() throws Exception {
        try (TmuxSession terminal = terminal()) {
            startDemo(terminal, "");
            terminal.typeLine("tty > shell-tty; echo $$ > shell-pid; exit");
            int pid = awaitDemoEnd(terminal, "/bin/sh");
            assertEquals(Files.readString(dir.resolve("shell-pid")).strip(), String.valueOf(pid));
            assertEquals(terminal.paneTty(), Files.readString(dir.resolve("shell-tty")).strip());
        }
    }

    @Test
    void edEditsAFileByKeystrokesAndCtrlCReachesEdNotTheVm() throws Exception {
        try (TmuxSession terminal = terminal("EDITOR", "ed")) {
            startDemo(terminal, "edit notes.txt");
            terminal.await("^notes\\.txt: No such file or directory$");
            terminal.press("C-c");
            terminal.await("^\\?$");
            for (String line : new String[] {"a", "hello from ed", ".", "w", "q"}) terminal.typeLine(line);
            awaitDemoEnd(terminal, "ed");
            assertEquals("hello from ed\n", Files.readString(dir.resolve("notes.txt")));
        }
    }

    @Test
    void vimEditsAFileByKeystrokes() throws Exception {
        try (TmuxSession terminal = terminal("EDITOR", "vim")) {
            startDemo(terminal, "edit notes.txt");
            terminal.await("\"notes\\.txt\"");
            terminal.type("ihello from vim");
            terminal.press("Escape");
            terminal.typeLine(":wq");
            awaitDemoEnd(terminal, "vim");
            assertEquals("hello from vim\n", Files.readString(dir.resolve("notes.txt")));
        }
    }
}
