// The VM's own signal handling survives the calls: Ctrl-C meant for the program never ends the VM,
// one typed afterwards still does, and handlers chained by other native libraries stay in place.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class SignalsTest {
    @TempDir Path dir;

    private static final String LIFTED = "SIGURG handler kept\nshutdown hooks ran\n";

    /** Runs {@code GuardedInterrupts} with a program that runs {@code body}, then interrupts its process group. */
    private Built.Run guardedInterrupts(List<String> launcher, String body, String... args) throws Exception {
        Path program = dir.resolve("interrupt-my-group");
        Files.writeString(program, "#!/bin/sh\n" + body + "kill -INT 0\n");
        program.toFile().setExecutable(true);
        List<String> command = new ArrayList<>(launcher);
        command.addAll(List.of("setsid", "-w"));
        List<String> mainArgs = new ArrayList<>(List.of(args));
        mainArgs.add(1, program.toString());
        command.addAll(Built.pinnedVm(Built.JAR + ":" + Built.TEST_CLASSES, List.of(), "com.vok.GuardedInterrupts",
                mainArgs.toArray(String[]::new)));
        return Built.run(new ProcessBuilder(command));
    }

    @Test
    void ctrlCDuringTheProgramNeverEndsTheVmAndOneAfterwardsDoes() throws Exception {
        for (int run = 0; run < 3; run++) {
            Built.Run vm = guardedInterrupts(List.of(), "", "threads", "1", "300");
            assertEquals("calls 300, failed 0\n" + LIFTED, vm.out(), "run " + run + ": " + vm.err());
            assertEquals(130, vm.exitCode(), "run " + run);
        }
        Built.Run vm = guardedInterrupts(List.of(), "", "prompt");
        assertEquals("shutdown hooks ran\n", vm.out(), vm.err());
        assertEquals(130, vm.exitCode());
    }

    @Test
    void callsFromSeveralThreadsOverlappingOrNotKeepBoth() throws Exception {
        Built.Run vm = guardedInterrupts(List.of(), "", "threads", "4", "75");
        assertEquals("calls 300, failed 0\n" + LIFTED, vm.out(), vm.err());
        assertEquals(130, vm.exitCode());
    }

    @Test
    void theGuardLiftsInAVmStartedWithSigurgBlockedAndOnlyAfterTheLastCall() throws Exception {
        List<String> blockingSigurg = List.of("python3", "-c", "import os, signal, sys;"
                + " signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGURG]); os.execvp(sys.argv[1], sys.argv[1:])");
        for (String pattern : List.of("late", "nested", "hold")) {
            Built.Run vm = guardedInterrupts(blockingSigurg, "sleep 1.2\n", pattern);
            assertEquals("calls 2, failed 0\n" + LIFTED, vm.out(), pattern + ": " + vm.err());
            assertEquals(130, vm.exitCode(), pattern);
        }
    }

    @Test
    void aSigintHandlerTheApplicationInstallsDuringACallStays() throws Exception {
        Built.Run vm = guardedInterrupts(List.of(), "", "handler");
        String handled = "the application's SIGINT handler ran\n";
        assertEquals("calls 1, failed 0\n" + handled + "SIGURG handler kept\n" + handled + "shutdown hooks ran\n",
                vm.out(), vm.err());
        assertEquals(3, vm.exitCode());
    }

    @Test
    void handlersChainedThroughTheJdksChainingLibraryStayInPlace() throws Exception {
        Path chaining = Path.of(Built.JAVA).getParent().resolveSibling("lib/libjsig.so");
        ProcessBuilder vm = new ProcessBuilder(Built.pinnedVm(Built.JAR + ":" + Built.TEST_CLASSES,
                List.of("-Dvokrane.chainedHandlers=" + System.getProperty("vokrane.chainedHandlers")),
                "com.vok.ChainedHandlers"));
        vm.environment().putAll(Map.of("LD_PRELOAD", chaining.toString()));
        Built.Run run = Built.run(vm);
        assertEquals("before: intact, recovered\nafter: intact, recovered\n", run.out(), run.err());
        assertEquals(0, run.exitCode(), run.err());
    }
}
