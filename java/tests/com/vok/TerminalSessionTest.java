// On a real terminal: a shell and two editors get the VM's terminal and give it back intact, and a
// program that dies leaves it to the VM as a job-control shell would.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.tools.ToolProvider;
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

    private String script(String body) throws Exception {
        Path script = dir.resolve("program");
        Files.writeString(script, "#!/bin/sh\n" + body + "\n");
        script.toFile().setExecutable(true);
        return script.toString();
    }

    /** Runs {@code HandBack} on {@code program} as the shell's job {@code job}, between two readings of the settings. */
    private void startHandBack(TmuxSession terminal, String program, String job) throws Exception {
        terminal.typeLine("stty -g > stty-before; " + Built.JAVA + " " + Built.PINNED + " -cp " + Built.JAR + ":"
                + Built.TEST_CLASSES + " com.vok.HandBack " + program + job
                + "; stty -a > stty-after-all; stty -g > stty-after; stty sane; echo demo-ended-$((40+2))");
    }

    private String settings(String name) throws Exception {
        return Files.readString(dir.resolve(name));
    }

    @Test
    void modesComeBackAfterAProgramKilledInRawModeAndStayAsSetAfterOneThatExits() throws Exception {
        try (TmuxSession terminal = terminal()) {
            startHandBack(terminal, script("stty raw -echo; kill -KILL $$"), "");
            terminal.await("^in the foreground$");
            terminal.typeLine("typed after");
            terminal.await("^typed after\nread typed after$");  // echoed, then read as a line
            terminal.await("^demo-ended-42$");
            assertEquals(settings("stty-before"), settings("stty-after"));
        }
        try (TmuxSession terminal = terminal()) {
            startHandBack(terminal, script("stty -echo"), "");
            terminal.await("^in the foreground$");
            terminal.typeLine("typed after");
            terminal.await("^read typed after$");
            terminal.await("^demo-ended-42$");
            assertTrue(settings("stty-after-all").contains(" -echo "), settings("stty-after-all"));
        }
    }

    @Test
    void aJobControlShellKilledGivesTheForegroundBackToTheVm() throws Exception {
        try (TmuxSession terminal = terminal()) {
            startHandBack(terminal, script("PS1='inner-bash> ' exec bash --norc -i"), "");
            terminal.await("^inner-bash> $");
            terminal.typeLine("kill -KILL $$");
            terminal.await("^in the foreground$");
            terminal.typeLine("typed after");
            terminal.await("^read typed after$");
            terminal.await("^demo-ended-42$");
            assertEquals(settings("stty-before"), settings("stty-after"));
        }
    }

    @Test
    void aVmInTheBackgroundNeverTouchesTheTerminal() throws Exception {
        try (TmuxSession terminal = terminal()) {
            // The program may change the modes from the background only with SIGTTOU ignored.
            startHandBack(terminal, script("trap '' TTOU; stty -echo <&1; kill -KILL $$"), " < /dev/null & wait");
            terminal.await("^in the background$");
            terminal.await("^read null$");
            terminal.await("^demo-ended-42$");
            assertTrue(settings("stty-after-all").contains(" -echo "), settings("stty-after-all"));
        }
    }

    @Test
    void theGuidesJLineToolOpensTheEditorFromAKeyAndComesBackToItsPrompt() throws Exception {
        Matcher tool = Pattern.compile("```java\n(// Notes\\.java.*?)```", Pattern.DOTALL).matcher(Files.readString(Built.GUIDE));
        assertTrue(tool.find(), "the guide has no Notes.java");
        Path source = Files.writeString(dir.resolve("Notes.java"), tool.group(1));
        String classPath = Built.JAR + ":/usr/share/java/jline3.jar";
        assertEquals(0, ToolProvider.getSystemJavaCompiler().run(null, null, null, "-cp", classPath, "-d", dir.toString(),
                source.toString()));
        try (TmuxSession terminal = terminal("EDITOR", "ed")) {
            terminal.typeLine(Built.JAVA + " --enable-native-access=ALL-UNNAMED " + Built.PINNED + " -cp " + classPath
                    + ":. Notes; echo tool-ended-$((40+2))");
            terminal.await("^notes> $");
            terminal.press("C-e");
            terminal.await("^notes\\.txt: No such file or directory$");
            for (String line : new String[] {"a", "from the guide", ".", "w", "q"}) terminal.typeLine(line);
            terminal.await("^editor exited with 0\nnotes> $");
            terminal.typeLine("quit");
            terminal.await("^tool-ended-42$");
        }
        assertEquals("from the guide\n", Files.readString(dir.resolve("notes.txt")));
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
