// Run by the loader tests in a second VM: uses LinuxNative, then prints where the library came from
// and which file was mapped; or, where it cannot be loaded, what each way of asking gives. A system
// property named as an argument is removed first, so that the loader itself fails.
package com.vok;

import java.nio.file.Files;
import java.nio.file.Path;

public final class LoadReport {
    public static void main(String[] args) throws Exception {
        for (String property : args) System.getProperties().remove(property);
        if (!NativeLibrary.isAvailable()) {
            reportFailure();
            return;
        }
        System.out.println("pid " + LinuxNative.shell("true"));
        System.out.println("from " + NativeLibrary.loadedFrom());
        try (var maps = Files.lines(Path.of("/proc/self/maps"))) {
            maps.filter(line -> line.contains("libvokrane.so"))
                    .map(line -> "mapped " + line.substring(line.indexOf('/')))
                    .distinct()
                    .forEach(System.out::println);
        }
    }

    private static void reportFailure() {
        Throwable error = thrown(NativeLibrary::ensureAvailable);
        System.out.println("unavailable; again: " + (thrown(NativeLibrary::ensureAvailable) == error ? "the same" : "other")
                + "; where from: " + (thrown(NativeLibrary::loadedFrom) == error ? "the same" : "other"));
        for (String call : new String[] {"first", "next"}) {
            Throwable thrown = thrown(() -> LinuxNative.shell("true"));
            boolean carries = thrown == error || thrown.getCause() != null && thrown.getCause().getMessage().contains(error.getMessage());
            System.out.println(call + " call: " + thrown.getClass().getSimpleName() + (carries ? ", the loader's error" : ""));
        }
        System.err.println(error);
        System.exit(1);
    }

    private static Throwable thrown(Runnable call) {
        try {
            call.run();
        } catch (Throwable t) {
            return t;
        }
        throw new AssertionError("nothing thrown");
    }
}
