// What a call returns, however the program ends, and what it leaves to the rest of the VM.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class ResultTest {
    @TempDir Path dir;

    /** A program that records its process ID, runs for a while, then ends as {@code ending} says. */
    private String program(String seconds, String ending) throws Exception {
        Path script = dir.resolve("program");
        Files.writeString(script, "#!/bin/sh\necho $$ > " + dir.resolve("pid") + "\nsleep " + seconds + "\n" + ending + "\n");
        Files.setPosixFilePermissions(script, PosixFilePermissions.fromString("rwx------"));
        return script.toString();
    }

    private int recordedPid() throws Exception {
        return Integer.parseInt(Files.readString(dir.resolve("pid")).strip());
    }

    @Test
    void aProgramThatFailsOrIsKilledGivesItsProcessId() throws Exception {
        for (String ending : List.of("exit 0", "exit 3", "kill -KILL $$", "kill -TERM $$")) {
            int pid = LinuxNative.shell(program("0", ending));
            assertEquals(recordedPid(), pid, ending);
        }
    }

    @Test
    void aNameWithABlankIsNotSplitAndItsFailureIsReportedOnStandardError() throws Exception {
        Built.Run run = Built.runVm(Built.JAR + ":" + Built.TEST_CLASSES, List.of(), "com.vok.CallOnce", "ls -l");
        assertEquals(0, run.exitCode(), run.err());
        assertTrue(Integer.parseInt(run.out().strip()) > 0, run.out());
        assertEquals("an error occurred in execvp\n", run.err());
    }

    @Test
    void aProcessBuilderChildEndingDuringTheCallKeepsItsExitCode() throws Exception {
        Process other = new ProcessBuilder("sh", "-c", "sleep 0.1; exit 5").start();
        int pid = LinuxNative.shell(program("0.5", ""));
        assertEquals(recordedPid(), pid);
        assertEquals(5, other.waitFor());
    }

    @Test
    void anotherLibrarysSpawnNeverStandsInForTheLauncher() throws Exception {
        ProcessBuilder vm = new ProcessBuilder(Built.pinnedVm(Built.JAR + ":" + Built.TEST_CLASSES, List.of(),
                "com.vok.CallOnce", "true"));
        vm.environment().put("LD_PRELOAD", System.getProperty("vokrane.foreignSpawn"));
        Built.Run run = Built.run(vm);
        assertEquals("", run.err());
        assertTrue(Integer.parseInt(run.out().strip()) > 0, run.out());
    }

    @Test
    void nullArgumentsGiveMinusOneAndStartNothing() {
        assertEquals(-1, LinuxNative.shell(null));
        assertEquals(-1, LinuxNative.edit(null, "file"));
        assertEquals(-1, LinuxNative.edit("true", null));
        assertEquals(0, ProcessHandle.current().children().count());
    }

    @Test
    void whereTheLibraryCannotLoadTerminalsShellAndEditRunTheProgramAllTheSameAndGiveItsProcessId() throws Exception {
        String program = program("0", "echo \"$@\" > " + dir.resolve("args"));
        for (List<String> call : List.of(List.of("terminal", program), List.of("terminal", program, "-notes"))) {
            List<String> command = Built.vm(Built.JAR + ":" + Built.TEST_CLASSES,
                    List.of("-Dcom.vok.library.path=/nonexistent/libvokrane.so"), "com.vok.CallOnce", call.toArray(String[]::new));
            Built.Run run = Built.run(new ProcessBuilder(command));
            assertEquals(0, run.exitCode(), run.err());
            assertEquals(recordedPid() + "\n", run.out());
            assertEquals(call.size() == 2 ? "\n" : "./-notes\n", Files.readString(dir.resolve("args")));
        }
    }
}
