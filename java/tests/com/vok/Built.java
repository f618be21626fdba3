// Where the build put what the Java tests use, and a way to run a second VM on it.
package com.vok;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.tools.ToolProvider;

final class Built {
    static final Path JAR = Path.of(System.getProperty("vokrane.jar"));
    static final Path JAR_WITHOUT_LIBRARY = Path.of(System.getProperty("vokrane.jarWithoutLibrary"));
    static final Path TEST_CLASSES = Path.of(System.getProperty("vokrane.testClasses"));
    static final Path LIBRARY = Path.of(System.getProperty("vokrane.library"));
    static final Path RECORDER = Path.of(System.getProperty("vokrane.recorder"));
    static final Path OLDER_LIBRARY = Path.of(System.getProperty("vokrane.olderLibrary"));
    static final Path GUIDE = Path.of(System.getProperty("vokrane.guide"));
    static final String JAVA = ProcessHandle.current().info().command().orElseThrow();

    private Built() {}

    record Run(int exitCode, String out, String err) {}

    /** The option that makes a VM load the library just built, wherever else one is installed. */
    static final String PINNED = "-D" + LibraryLoader.PATH_PROPERTY + "=" + LIBRARY;

    /**
     * The command line of a new VM running {@code mainClass} with the given class path and options,
     * which finds the library as its options say (the loader's own order when they say nothing).
     */
    static List<String> vm(String classPath, List<String> options, String mainClass, String... args) {
        List<String> command = new ArrayList<>(List.of(JAVA, "--enable-native-access=ALL-UNNAMED", "-cp", classPath));
        command.addAll(options);
        command.add(mainClass);
        command.addAll(List.of(args));
        return command;
    }

    /** The same, loading the library just built. */
    static List<String> pinnedVm(String classPath, List<String> options, String mainClass, String... args) {
        List<String> pinned = new ArrayList<>(options);
        pinned.add(PINNED);
        return vm(classPath, pinned, mainClass, args);
    }

    /** Runs {@code mainClass} in a new VM on the library just built, and waits for it. */
    static Run runVm(String classPath, List<String> options, String mainClass, String... args)
            throws IOException, InterruptedException {
        return run(new ProcessBuilder(pinnedVm(classPath, options, mainClass, args)));
    }

    /** Runs {@code java options -jar vokrane.jar args} on the library just built, with {@code environment} added. */
    static Run runDemo(Map<String, String> environment, List<String> options, String... args)
            throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of(JAVA, PINNED));
        command.addAll(options);
        command.addAll(List.of("-jar", JAR.toString()));
        command.addAll(List.of(args));
        ProcessBuilder demo = new ProcessBuilder(command);
        demo.environment().putAll(environment);
        return run(demo);
    }

    /** Starts {@code builder} with nothing on standard input, and waits for it to end. */
    static Run run(ProcessBuilder builder) throws IOException, InterruptedException {
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

    /** Compiles the guide's {@code name}.java snippet into {@code dir} against {@code classPath}. */
    static void compileFromGuide(String name, String classPath, Path dir) throws IOException {
        Matcher snippet = Pattern.compile("```java\n(// " + name + "\\.java.*?)```", Pattern.DOTALL).matcher(Files.readString(GUIDE));
        if (!snippet.find()) throw new AssertionError("the guide has no " + name + ".java");
        Path source = Files.writeString(dir.resolve(name + ".java"), snippet.group(1));
        if (ToolProvider.getSystemJavaCompiler().run(null, null, null, "-cp", classPath, "-d", dir.toString(), source.toString()) != 0) {
            throw new AssertionError("the guide's " + name + ".java does not compile");
        }
    }

    /**
     * Makes, in {@code dir}, temporary directories that another user could change, or whose parent
     * they could: each with what the refusal must say after its name.
     */
    static String[][] untrustedTemporaryDirectories(Path dir) throws IOException {
        String[][] made = {
            {"group-writable", "rwxrwx---", " may be written by its group and is not sticky"},
            {"group-writable-readable", "rwxrwxr-x", " may be written by its group and is not sticky"},
            {"theirs", "rwx------", " belongs to another user (65534)"},
            {"open/mine", "rwx------", " lies in " + dir.resolve("open") + ", which may be written by other users and is not sticky"},
        };
        Files.createDirectories(dir.resolve("open"));
        Files.setPosixFilePermissions(dir.resolve("open"), PosixFilePermissions.fromString("rwxrwxrwx"));
        for (String[] directory : made) {
            Path path = Files.createDirectories(dir.resolve(directory[0]));
            Files.setPosixFilePermissions(path, PosixFilePermissions.fromString(directory[1]));
            if (directory[0].equals("theirs")) Files.setAttribute(path, "unix:uid", 65534);
            directory[0] = path.toString();
            directory[1] = directory[2];
        }
        return made;
    }

    /**
     * Writes, into {@code dir}, an editor for the tests that does to the file what its first word
     * says; run it as the editor {@code sh <script> <what>}.
     */
    static Path scriptedEditor(Path dir) throws IOException {
        return Files.writeString(dir.resolve("scripted-editor"), """
                what=$1 file=$2
                case $what in
                  append) printf 'added\\r\\n' >> "$file" ;;
                  nothing) ;;
                  same) cat "$file" > "$file.new" && cat "$file.new" > "$file" && rm "$file.new" ;;
                  rename) cp "$file" "$file.new" && mv "$file.new" "$file" ;;
                  delete) rm "$file" ;;
                  bom) printf '\\357\\273\\277with a mark\\n' > "$file" ;;
                  fail) echo saved >> "$file"; exit 1 ;;
                  killed) kill -KILL $$ ;;
                  latin1) printf 'caf\\351\\n' > "$file" ;;
                  modes) stat -c '%a %n' "${file%/*}" "$file" > "$file" ;;
                  raw) stty raw -echo; sleep 1; echo edited >> "$file" ;;
                  raw-killed) stty raw -echo; kill -KILL $$ ;;
                  tty) [ -t 0 ] && [ -t 1 ] && [ -t 2 ] && echo on-the-terminal >> "$file" ;;
                  rmdir) rm -r "${file%/*}" ;;
                  killed-swap) echo unsaved > "${file%/*}/.swp"; kill -KILL $$ ;;
                  hup*) vm=$$; while [ "$(cat /proc/$vm/comm)" != java ]; do vm=$(cut -d' ' -f4 /proc/$vm/stat); done
                        kill -HUP $vm; sleep 0.5; [ $what = hup ] || { echo preserved > "${file%/*}/.swp"; exit 1; } ;;
                esac
                """);
    }
}
