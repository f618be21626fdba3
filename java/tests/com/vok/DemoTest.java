// `java -jar vokrane.jar` as a user runs it, away from a terminal: what it prints and how it fails.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

class DemoTest {
    @Test
    void editPrintsOneLineWithTheEditorsProcessIdAndNoWarning() throws Exception {
        Built.Run run = Built.runDemo(Map.of("VISUAL", "true"), List.of(), "edit", "notes.txt");
        assertEquals("", run.err());  // on JDK 22 and later, the manifest's Enable-Native-Access at work
        assertEquals(0, run.exitCode());
        assertTrue(run.out().matches("vokrane: true ended \\(process [1-9][0-9]*\\)\n"), run.out());
    }

    @Test
    void withTheVmsSignalHandlingReducedTheProgramStillRuns() throws Exception {
        // Under -Xrs the VM keeps SIGINT to itself, so the guard cannot be installed.
        Built.Run run = Built.runDemo(Map.of("VISUAL", "true"), List.of("-Xrs"), "edit", "notes.txt");
        assertEquals(0, run.exitCode(), run.err());
        assertTrue(run.out().matches("vokrane: true ended \\(process [1-9][0-9]*\\)\n"), run.out());
    }

    @Test
    void anEditorThatCannotRunIsRefusedWithAReason() throws Exception {
        Built.Run run = Built.runDemo(Map.of("VISUAL", "code --wait"), List.of(), "edit", "notes.txt");
        assertEquals(2, run.exitCode());
        assertTrue(run.err().startsWith("vokrane: VISUAL is \"code --wait\", a command with arguments"), run.err());
        run = Built.runDemo(Map.of("VISUAL", "vokrane-missing-editor"), List.of(), "edit", "notes.txt");
        assertEquals(2, run.exitCode());
        assertEquals("vokrane: VISUAL is \"vokrane-missing-editor\", which is not a program on PATH ("
                + System.getenv("PATH") + ")\n", run.err());
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
}
