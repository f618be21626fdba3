// Uses the library from a Maven build: prints the pid of one launch and the library file mapped.
package consumer;

import com.vok.LinuxNative;
import java.nio.file.Files;
import java.nio.file.Path;

public class Main {
    public static void main(String[] args) throws Exception {
        System.out.println("pid " + LinuxNative.shell("true"));
        try (var maps = Files.lines(Path.of("/proc/self/maps"))) {
            maps.filter(line -> line.contains("libvokrane.so")).map(line -> "mapped " + line.substring(line.indexOf('/')))
                    .distinct().forEach(System.out::println);
        }
    }
}
