// Thousands of launches from one VM leave nothing behind: no descriptor, no zombie, no memory.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;

class SoakTest {
    private static final int WARM_UP = 200;
    private static final int LAUNCHES = 2000;
    // The launch path allocates nothing, natively or in Java, so resident memory should not move
    // beyond the VM's own noise (JIT code, GC bookkeeping). 4 MiB over 1,800 launches is caught as
    // soon as a launch keeps 2.3 KiB or more.
    private static final long RESIDENT_GROWTH_BOUND_KIB = 4096;

    private static long openDescriptors() throws IOException {
        try (var fds = Files.list(Path.of("/proc/self/fd"))) {
            return fds.count();
        }
    }

    private static long residentKib() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        }
        throw new IOException("no VmRSS in /proc/self/status");
    }

    private static void launch(int times) {
        for (int i = 0; i < times; i++) assertTrue(LinuxNative.shell("/bin/true") > 0);
    }

    @Test
    void twoThousandLaunchesLeaveNothingBehind() throws IOException {
        launch(WARM_UP);
        long descriptors = openDescriptors();
        long resident = residentKib();
        launch(LAUNCHES - WARM_UP);
        long growth = residentKib() - resident;
        System.out.println("resident memory after " + WARM_UP + " launches: " + resident + " KiB; after "
                + LAUNCHES + ": " + (resident + growth) + " KiB");
        assertEquals(descriptors, openDescriptors());
        assertEquals(0, ProcessHandle.current().children().count(), "children left behind");
        assertTrue(growth < RESIDENT_GROWTH_BOUND_KIB, "resident memory grew by " + growth + " KiB");
    }
}
