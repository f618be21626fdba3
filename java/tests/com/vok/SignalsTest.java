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

    /** Runs {@code GuardedInterrupts} with a program that interrupts its process group and exits. */
    private Built.Run interruptedCallsInOwnSession(int threads, int callsPerThread) throws Exception {
        Path program = dir.resolve("interrupt-my-group");
        Files.writeString(program, "#!/bin/sh\nkill -INT 0\n");
        program.toFile().setExecutable(true);
        List<String> command = new ArrayList<>(List.of("setsid", "-w"));
        command.addAll(Built.pinnedVm(Built.JAR + ":" + Built.TEST_CLASSES, List.of(), "com.vok.GuardedInterrupts",
                program.toString(), String.valueOf(threads), String.valueOf(callsPerThread)));
        return Built.run(new ProcessBuilder(command));
    }

    @Test
    void ctrlCDuringTheProgramNeverEndsTheVmAndOneAfterwardsDoes() throws Exception {
        for (int run = 0; run < 3; run++) {
            Built.Run vm = interruptedCallsInOwnSession(1, 300);
            assertEquals("calls 300, failed 0\n", vm.out(), "run " + run + ": " + vm.err());
            assertEquals(130, vm.exitCode(), "run " + run);
        }
    }

    @Test
    void callsFromSeveralThreadsOverlappingOrNotKeepBoth() throws Exception {
        Built.Run vm = interruptedCallsInOwnSession(4, 75);
        assertEquals("calls 300, failed 0\n", vm.out(), vm.err());
        assertEquals(130, vm.exitCode());
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
