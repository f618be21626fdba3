// On a real terminal: a shell and two editors get the VM's terminal and give it back intact, and a
// program that dies leaves it to the VM as a job-control shell would.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
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

    /** Waits for the demo to end with {@code last} as its last line, and returns that line's match. */
    private Matcher awaitDemoEnd(TmuxSession terminal, String last) throws Exception {
        Matcher ended = terminal.await(last);
        terminal.await("^demo-ended-42$");
        assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
        return ended;
    }

    /**
     * Runs {@code HandBack} on scripts of {@code bodies} (a second one a second later from another
     * thread), each through the path {@code paths} names, as the shell's job {@code job} ({@code %s} stands for the command), through
     * {@code steps}: "&gt;text" types a line, "^Z" presses Ctrl-Z, any other step is a pattern the
     * screen must show. Returns {@code stty -a} as the shell found the terminal afterwards.
     */
    private String handBack(String[] bodies, String job, String... steps) throws Exception {
        return handBack(bodies, new String[] {"", ""}, job, steps);
    }

    private String handBack(String[] bodies, String[] paths, String job, String... steps) throws Exception {
        StringBuilder command = new StringBuilder(Built.JAVA + " " + Built.PINNED + " -cp " + Built.JAR + ":"
                + Built.TEST_CLASSES + " com.vok.HandBack");
        for (int i = 0; i < bodies.length; i++) {
            Path program = Files.writeString(dir.resolve("program" + i), "#!/bin/sh\n" + bodies[i] + "\n");
            program.toFile().setExecutable(true);
            command.append(" ").append(paths[i]).append(program);
        }
        try (TmuxSession terminal = terminal()) {
            // In a subshell, so that a stopped VM stops the whole list and fg goes on with it.
            terminal.typeLine("(stty -g > stty-before; " + String.format(job, command)
                    + "; stty -a > stty-after-all; stty -g > stty-after; stty sane; echo demo-ended-$((40+2)))");
            for (String step : steps) {
                if (step.equals("^Z")) terminal.press("C-z");
                else if (step.startsWith(">")) terminal.typeLine(step.substring(1));
                else terminal.await(step);
            }
            terminal.await("^demo-ended-42$");
            assertFalse(terminal.screen().contains("SIGTTOU stays blocked"), terminal.screen());
        }
        return Files.readString(dir.resolve("stty-after-all"));
    }

    private String handBack(String body, String job, String... steps) throws Exception {
        return handBack(new String[] {body}, "%s" + job, steps);
    }

    private void assertModesAsBefore() throws Exception {
        assertEquals(Files.readString(dir.resolve("stty-before")), Files.readString(dir.resolve("stty-after")));
    }

    @Test
    void modesComeBackAfterAProgramKilledInRawModeAndStayAsSetAfterOneThatExits() throws Exception {
        // Echoed, then read as a line.
        handBack("stty raw -echo; kill -KILL $$", "", "^in the foreground$", ">typed after", "^typed after\nread typed after$");
        assertModesAsBefore();
        String after = handBack("stty -echo", "", "^in the foreground$", ">typed after", "^read typed after$");
        assertTrue(after.contains(" -echo "), after);
        // With standard input redirected, the terminal is found on standard output.
        handBack("stty raw -echo <&1; kill -KILL $$", " < /dev/null", "^read null$");
        assertModesAsBefore();
        // With SIGCHLD ignored, the kernel collects the program: how it ended is unknown, so the modes stay.
        after = handBack(new String[] {"stty -echo"}, "python3 -c 'import os, signal, sys; signal.signal(signal.SIGCHLD,"
                + " signal.SIG_IGN); os.execvp(sys.argv[1], sys.argv[1:])' %s", "^in the foreground$", ">typed after",
                "^read typed after$");
        assertTrue(after.contains(" -echo "), after);
    }

    @Test
    void aCallStoppedAndPutInTheBackgroundLeavesTheTerminalToTheUsersShell() throws Exception {
        // The program dies by a signal in the background, with modes of its own: they stay too.
        String after = handBack(new String[] {"sleep 2; trap '' TTOU; stty -echo; kill -KILL $$"}, "%s", "^calling$", "^Z",
                "Stopped", ">bg", "^in the background$", ">echo shell-alive-$((1+1))", "^shell-alive-2$", ">fg",
                ">typed after", "^read typed after$");
        assertTrue(after.contains(" -echo "), after);
    }

    @Test
    void overlappingCallsLeaveTheTerminalToTheProgramStillRunning() throws Exception {
        // The second call ends a second after it starts, while the first's program is still raw:
        // whatever paths they take, one count keeps the second from putting modes back.
        for (String[] paths : new String[][] {{"", ""}, {"", "edit:"}, {"run:", "edit:"}, {"run:", "run:"}}) {
            Files.deleteIfExists(dir.resolve("modes-meanwhile"));
            handBack(new String[] {"stty raw -echo; sleep 3; stty -a > modes-meanwhile; stty sane", "sleep 1; kill -KILL $$"},
                    paths, "%s", "second ended true", "ended true", ">typed after", "^read typed after$");
            String meanwhile = Files.readString(dir.resolve("modes-meanwhile"));
            assertTrue(meanwhile.contains(" -echo "), String.join("", paths) + meanwhile);
        }
        // The first ends first, killed, while the second's program is raw: it is not the last, so it
        // puts back nothing, whether the VM counts the calls itself or has the library count them.
        for (String[] paths : new String[][] {{"run:", "run:"}, {"loaded:run:", "run:"}}) {
            Files.deleteIfExists(dir.resolve("modes-meanwhile"));
            handBack(new String[] {"sleep 2; kill -KILL $$", "stty raw -echo; sleep 3; stty -a > modes-meanwhile; stty sane"},
                    paths, "%s", "^ended true$", "second ended true$", ">typed after", "^read typed after$");  // printed while raw
            String meanwhile = Files.readString(dir.resolve("modes-meanwhile"));
            assertTrue(meanwhile.contains(" -echo "), String.join("", paths) + meanwhile);
        }
        // The second starts while the first is raw, and ends last, killed: it noted nothing, so it puts
        // back nothing, and the modes are those the first put back as it quit. The library, first
        // used by the second, takes over the count with the first call in it.
        for (String[] paths : new String[][] {{"edit:", "edit:"}, {"run:", ""}}) {
            handBack(new String[] {"s=$(stty -g); stty raw -echo; sleep 2; stty $s", "sleep 2; kill -KILL $$"}, paths, "%s",
                    "second ended true", "ended true", ">typed after", "^read typed after$");
            assertModesAsBefore();
        }
        // The first, raw, is killed while the second, begun meanwhile, runs on: the second ends last and
        // puts back the modes the first noted, on each path and in either record.
        for (String[] paths : new String[][] {{"", ""}, {"loaded:run:", "run:"}, {"unloadable:run:", "edit:"}}) {
            handBack(new String[] {"stty raw -echo; sleep 2; kill -KILL $$", "sleep 3"}, paths, "%s", "ended true$",
                    "second ended true$", "^in the foreground$", ">typed after", "^typed after\nread typed after$");
            assertModesAsBefore();
        }
        handBack(new String[] {"PS1='inner-bash> ' exec bash --norc -i", "sleep 1"}, "%s", "^inner-bash> $",
                "second ended true", ">echo $((6*7))-inner", "^42-inner$", ">exit", "^in the foreground$", ">typed after",
                "^read typed after$");
        assertModesAsBefore();
    }

    @Test
    void aProgramThatStopsItselfStopsTheVmAndFgResumesBoth() throws Exception {
        handBack("PS1='inner-bash> ' exec bash --norc -i", "", "^inner-bash> $", ">suspend", "Stopped", ">fg",
                ">echo $((6*7))-resumed", "^42-resumed$", ">exit", "^in the foreground$", ">typed after", "^read typed after$");
        assertModesAsBefore();
    }

    @Test
    void aJobControlShellKilledGivesTheForegroundBackToTheVm() throws Exception {
        for (String path : new String[] {"", "loaded:run:"}) {
            handBack(new String[] {"PS1='inner-bash> ' exec bash --norc -i"}, new String[] {path}, "%s", "^inner-bash> $",
                    ">kill -KILL $$", "^in the foreground$", ">typed after", "^read typed after$");
            assertModesAsBefore();
        }
    }

    @Test
    void aVmInTheBackgroundNeverTouchesTheTerminal() throws Exception {
        // The program may change the modes from the background only with SIGTTOU ignored.
        String after = handBack(new String[] {"trap '' TTOU; stty -echo <&1; kill -KILL $$"}, "python3 -c 'import os, sys;"
                + " os.setpgid(0, 0); os.execvp(sys.argv[1], sys.argv[1:])' %s < /dev/null", "^in the background$", "^read null$");
        assertTrue(after.contains(" -echo "), after);
    }

    @Test
    void theEditorPathsAndThePagerTakeTheTerminalBackWithTheLibraryAndLikeMacOsWithout() throws Exception {
        String editor = "VISUAL='sh " + Built.scriptedEditor(dir) + " ";
        String classes = " -cp " + Built.JAR + ":" + Built.TEST_CLASSES + " com.vok.";
        for (String vm : new String[] {Built.JAVA + " --enable-native-access=ALL-UNNAMED " + Built.PINNED, likeMacOs()}) {
            String tool = vm + classes + "EditTool";
            // Without /dev/fd, whether standard error is the terminal is not known: it gets no hint
            // (macOS has a /dev/fd of its own; Linux's is /proc's).
            String hint = vm.contains("Mac OS X") ? "" : "hint: Waiting for your editor to close the file\\.\\.\\. ";
            try (TmuxSession terminal = terminal()) {
                // Raw, then an exit: the modes come back; the hint shows while the editor runs, then goes.
                terminal.typeLine("stty -g > stty-before; " + editor + "raw' " + tool + " edit; stty -g > stty-after; echo step-$((0+1))");
                if (!hint.isEmpty()) terminal.await(hint);
                terminal.await("^got start\\|edited\\|\nstep-1$");
                assertModesAsBefore();
                assertFalse(terminal.screen().contains("hint:"), terminal.screen());
                terminal.typeLine(editor + "raw-killed' " + tool + " edit; stty -g > stty-after; echo step-$((1+1))");
                terminal.await("failed: the editor .* was killed by SIGKILL\nstep-2$");  // after the Killed its shell said
                assertModesAsBefore();
                // Inside $(...), the editor still gets the terminal for each of its streams.
                terminal.typeLine("msg=$(" + editor + "tty' " + tool + " edit); echo \"[$msg]\"");
                terminal.await("^\\[got start\\|on-the-terminal\\|\\]$");
                // A dumb terminal gets no escape sequence: the hint ends its line, and stays.
                terminal.typeLine("TERM=dumb EDITOR='sh " + Built.scriptedEditor(dir) + " nothing' " + tool + " edit");
                terminal.await("^" + hint + (hint.isEmpty() ? "" : "\n") + "got nothing$");
                terminal.typeLine(tool + " run 'stty -echo'; stty -a > stty-after-all; stty sane; echo step-$((2+1))");
                terminal.await("^step-3$");
                String after = Files.readString(dir.resolve("stty-after-all"));
                assertTrue(after.contains(" -echo "), after);
                terminal.clear();
                terminal.typeLine(vm + classes + "PageTool lines 200");
                terminal.await("^line 39\n:");
                terminal.type("q");
                terminal.await("^paging true, wrote [0-9]+ lines$");
                if (vm.contains("Mac OS X")) continue;
                // With the library, no process runs but the program: not stty, not ps.
                for (String[] call : new String[][] {{"EditTool edit", "true"}, {"EditTool open x", "true"}, {"EditTool run true", "sh"},
                        {"PageTool lines 3", "less"}}) {
                    terminal.clear();
                    terminal.typeLine("VISUAL=true strace -f --seccomp-bpf -qq -e trace=execve -o trace " + vm + classes + call[0]
                            + "; echo traced-$((1+1))");
                    terminal.await("^traced-2$");
                    assertEquals(List.of(call[1]), programsStarted(dir.resolve("trace")), call[0]);
                }
            }
        }
    }

    /**
     * A VM as on macOS: no library for its {@code os.name}, and no {@code /proc} in its mount
     * namespace. Linux's launcher finds its libraries through {@code /proc/self/exe}, and so is
     * told where they are; Linux's {@code ps} cannot run without {@code /proc}, and so a stand-in
     * answers for the VM's process as macOS's does.
     */
    private String likeMacOs() throws Exception {
        Path bin = Files.createDirectories(dir.resolve("like-macos"));
        Files.writeString(bin.resolve("ps"), """
                #!/usr/bin/python3
                import fcntl, os, struct, sys
                args = sys.argv[1:]
                fields = [args[i + 1] for i in range(len(args)) if args[i] == "-o"]
                values = {"pgid=": os.getpgid(int(args[args.index("-p") + 1])), "tpgid=": 0, "tty=": "??"}
                try:
                    tty = os.open("/dev/tty", os.O_RDONLY | os.O_NOCTTY)
                    device = struct.unpack("I", fcntl.ioctl(tty, 0x80045432, bytes(4)))[0]  # TIOCGDEV
                    values["tpgid="] = os.tcgetpgrp(tty)
                    values["tty="] = next("pts/" + n for n in os.listdir("/dev/pts") if os.stat("/dev/pts/" + n).st_rdev == device)
                except OSError:
                    pass
                print(" ".join(str(values[field]) for field in fields))
                """).toFile().setExecutable(true);
        Path jdk = Path.of(Built.JAVA).getParent().getParent();
        return "unshare -m sh -c 'mount -t tmpfs none /proc && PATH=" + bin + ":$PATH LD_LIBRARY_PATH=" + jdk.resolve("lib")
                + ":$LD_LIBRARY_PATH exec \"$@\"' sh " + Built.JAVA + " -Dos.name='Mac OS X' " + Built.PINNED;
    }

    // The programs that strace saw started in its trace, but for the VM's own launcher and spawn helper.
    private static List<String> programsStarted(Path trace) throws Exception {
        List<String> started = new ArrayList<>();
        Matcher exec = Pattern.compile("^\\d+ +execve\\(\"([^\"]*/)?([^\"]+)\".* = 0$", Pattern.MULTILINE).matcher(Files.readString(trace));
        while (exec.find()) if (!exec.group(2).equals("java") && !exec.group(2).equals("jspawnhelper")) started.add(exec.group(2));
        return started;
    }

    @Test
    void theGuidesJLineToolOpensTheEditorFromAKeyAndComesBackToItsPrompt() throws Exception {
        String classPath = Built.JAR + ":/usr/share/java/jline3.jar";
        Built.compileFromGuide("Notes", classPath, dir);
        try (TmuxSession terminal = terminal("EDITOR", "ed")) {
            terminal.typeLine(Built.JAVA + " --enable-native-access=ALL-UNNAMED " + Built.PINNED + " -cp " + classPath
                    + ":. Notes; echo tool-ended-$((40+2))");
            terminal.await("^notes> $");
            terminal.press("C-e");
            terminal.await("notes\\.txt: No such file or directory$");  // after the hint, as in git
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
            terminal.await("^vokrane: this is /bin/sh, started from Java by libvokrane on this terminal; type exit to come back to Java$");
            terminal.typeLine("tty > shell-tty; echo $$ > shell-pid; exit");
            int pid = Integer.parseInt(awaitDemoEnd(terminal, "vokrane: /bin/sh ended \\(process ([0-9]+)\\)$").group(1));
            assertEquals(Files.readString(dir.resolve("shell-pid")).strip(), String.valueOf(pid));
            assertEquals(terminal.paneTty(), Files.readString(dir.resolve("shell-tty")).strip());
        }
    }

    @Test
    void edEditsAFileByKeystrokesAndCtrlCReachesEdNotTheVm() throws Exception {
        // With an argument, through sh, which must end as ed ends: Ctrl-C is ed's to handle.
        try (TmuxSession terminal = terminal("EDITOR", "ed -G")) {
            startDemo(terminal, "edit notes.txt");
            terminal.await("notes\\.txt: No such file or directory$");  // after the hint, as in git
            terminal.press("C-c");
            terminal.await("^\\?$");
            for (String line : new String[] {"a", "hello from ed", ".", "w", "q"}) terminal.typeLine(line);
            awaitDemoEnd(terminal, "^vokrane: the editor exited with status 0$");
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
            awaitDemoEnd(terminal, "^vokrane: the editor exited with status 0$");
            assertEquals("hello from vim\n", Files.readString(dir.resolve("notes.txt")));
        }
    }
}
