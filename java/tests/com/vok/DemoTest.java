// `java -jar vokrane.jar` as a user runs it, away from a terminal: what it prints and how it fails.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class DemoTest {
    @Test
    void editPrintsOneLineWithTheEditorsStatusAndNoWarning() throws Exception {
        Built.Run run = Built.runDemo(Map.of("VISUAL", "true", "TERM", "xterm"), List.of(), "edit", "notes.txt");
        assertEquals("", run.err());  // on JDK 22 and later, the manifest's Enable-Native-Access at work
        assertEquals(0, run.exitCode());
        assertEquals("vokrane: the editor exited with status 0\n", run.out());
        // Any command, as git runs it; ":" touches nothing and succeeds.
        for (String editor : new String[] {"true --any-argument", ":"}) {
            run = Built.runDemo(Map.of("VISUAL", editor, "TERM", "xterm"), List.of(), "edit", "notes.txt");
            assertEquals("vokrane: the editor exited with status 0\n", run.out(), editor);
        }
    }

    @Test
    void withTheVmsSignalHandlingReducedTheProgramStillRuns() throws Exception {
        // Under -Xrs the VM keeps SIGINT to itself, so the guard cannot be installed.
        Built.Run run = Built.runDemo(Map.of("VISUAL", "true", "TERM", "xterm"), List.of("-Xrs"), "edit", "notes.txt");
        assertEquals(0, run.exitCode(), run.err());
        assertEquals("vokrane: the editor exited with status 0\n", run.out());
    }

    @Test
    void anEditorThatCannotRunIsRefusedWithAReason() throws Exception {
        Built.Run run = Built.runDemo(Map.of("VISUAL", "vokrane-missing-editor --wait", "TERM", "xterm"), List.of(), "edit", "notes.txt");
        assertEquals(2, run.exitCode());
        assertEquals("vokrane: VISUAL is \"vokrane-missing-editor --wait\": vokrane-missing-editor is not a program on PATH ("
                + System.getenv("PATH") + ")\n", run.err());
        // Under LANG=C, ProcessBuilder would pass "na?ve.txt". The name's bytes come from printf,
        // whatever this VM's own encoding.
        ProcessBuilder demo = new ProcessBuilder("sh", "-c", "exec \"$@\" \"$(printf 'na\\303\\257ve.txt')\"", "sh",
                Built.JAVA, Built.PINNED, "-jar", Built.JAR.toString(), "edit");
        demo.environment().putAll(Map.of("VISUAL", "true", "TERM", "xterm", "LANG", "C", "LC_ALL", "C"));
        run = Built.run(demo);
        assertEquals(2, run.exitCode());
        assertTrue(run.err().matches("vokrane: \"na.+ve\\.txt\" cannot be passed to a program in this VM's encoding, .*\n"), run.err());
    }

    @Test
    void aProgramThatCannotBeStartedIsRefusedAndOneThatCannotBeLaunchedFails() throws Exception {
        Built.Run run = Built.runDemo(Map.of("SHELL", "/nonexistent/shell"), List.of());
        assertEquals(2, run.exitCode());
        assertEquals("vokrane: cannot run \"/nonexistent/shell\": no such file\n", run.err());
        // The kernel refuses the launch itself: strace makes every vfork fail with EAGAIN.
        List<String> command = new ArrayList<>(List.of("strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=vfork",
                "-e", "inject=vfork:error=EAGAIN", Built.JAVA, Built.PINNED, "-jar", Built.JAR.toString()));
        ProcessBuilder demo = new ProcessBuilder(command);
        demo.environment().put("SHELL", "/bin/sh");
        run = Built.run(demo);
        assertEquals(1, run.exitCode());
        assertEquals("vokrane: could not run /bin/sh\n", run.err());
    }

    @Test
    void unknownArgumentsGetTheUsage() throws Exception {
        for (String[] args : new String[][] {{"frobnicate"}, {"edit"}, {"edit", "notes.txt", "extra"}}) {
            Built.Run run = Built.runDemo(Map.of(), List.of(), args);
            assertEquals(2, run.exitCode(), List.of(args).toString());
            assertEquals("usage: java -jar vokrane.jar [edit FILE]\n", run.err());
        }
    }

    @Test
    void theGuidesComposeExampleGivesTheMessageWithoutHelpLinesAndAbortsOnAnEmptyOne(@TempDir Path dir) throws Exception {
        Built.compileFromGuide("Compose", Built.JAR.toString(), dir);
        Object[][] cases = {{"append", 0, "added\n", ""}, {"nothing", 1, "", "compose: aborted, the message is empty\n"},
            {"fail", 1, "", "compose: the editor "}};
        for (Object[] c : cases) {
            // The failed edit keeps its file: in the test's own directory, not /tmp.
            ProcessBuilder vm = new ProcessBuilder(Built.pinnedVm(Built.JAR + ":" + dir, List.of("-Djava.io.tmpdir=" + dir), "Compose"));
            vm.environment().putAll(Map.of("TERM", "xterm", "VISUAL", "sh " + Built.scriptedEditor(dir) + " " + c[0]));
            Built.Run run = Built.run(vm);
            assertEquals(c[1], run.exitCode(), run.err());
            assertEquals(c[2], run.out());
            assertTrue(run.err().startsWith((String) c[3]), run.err());
        }
        // openEditor tells of a window editor that returned at once; the user's command stays as it is.
        Path code = Files.writeString(dir.resolve("code"), "#!/bin/sh\n");
        code.toFile().setExecutable(true);
        Built.Run run = Built.runDemo(Map.of("VISUAL", code.toString(), "TERM", "xterm"), List.of(), "edit", dir + "/notes.txt");
        assertEquals("vokrane: code returned before its window closed: set VISUAL='" + code + " --wait' so that it waits\n",
                run.err());
    }
}
