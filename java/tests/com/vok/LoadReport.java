// Run by the loader tests in a second VM: uses LinuxNative, then prints which file was mapped.
package com.vok;

import java.nio.file.Files;
import java.nio.file.Path;

public final class LoadReport {
    public static void main(String[] args) throws Exception {
        System.out.println("pid " + LinuxNative.shell("true"));
        try (var maps = Files.lines(Path.of("/proc/self/maps"))) {
            maps.filter(line -> line.contains("libvokrane.so"))
                    .map(line -> "mapped " + line.substring(line.indexOf('/')))
                    .distinct()
                    .forEach(System.out::println);
        }
    }
}
