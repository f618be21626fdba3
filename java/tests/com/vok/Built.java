// Where the build put what the Java tests use, and a way to run a second VM on it.
package com.vok;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

final class Built {
    static final Path JAR = Path.of(System.getProperty("vokrane.jar"));
    static final Path JAR_WITHOUT_LIBRARY = Path.of(System.getProperty("vokrane.jarWithoutLibrary"));
    static final Path TEST_CLASSES = Path.of(System.getProperty("vokrane.testClasses"));
    static final Path LIBRARY = Path.of(System.getProperty("vokrane.library"));
    static final Path RECORDER = Path.of(System.getProperty("vokrane.recorder"));
    static final String JAVA = ProcessHandle.current().info().command().orElseThrow();

    private Built() {}

    record Run(int exitCode, String out, String err) {}

    /** Runs {@code mainClass} in a new VM with the given class path and options, and waits for it. */
    static Run runVm(String classPath, List<String> options, String mainClass, String... args)
            throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of(JAVA, "--enable-native-access=ALL-UNNAMED", "-cp", classPath));
        command.addAll(options);
        command.add(mainClass);
        command.addAll(List.of(args));
        return run(new ProcessBuilder(command));
    }

    /** Runs {@code java -jar vokrane.jar args}, as a user would, with {@code environment} added. */
    static Run runDemo(Map<String, String> environment, String... args) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of(JAVA, "-jar", JAR.toString()));
        command.addAll(List.of(args));
        ProcessBuilder demo = new ProcessBuilder(command);
        demo.environment().putAll(environment);
        return run(demo);
    }

    private static Run run(ProcessBuilder builder) throws IOException, InterruptedException {
        Path err = Files.createTempFile("vokrane-vm", ".err");
        try {
            Process vm = builder.redirectError(err.toFile()).start();
            vm.getOutputStream().close();
            String out = new String(vm.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
            int exitCode = vm.waitFor();
            return new Run(exitCode, out, Files.readString(err));
        } finally {
            Files.delete(err);
        }
    }
}
