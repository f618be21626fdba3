// On the module path: the demo as a module's entry point, and an application module requiring com.vok.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class ModulePathTest {
    @TempDir Path dir;

    private static Built.Run runModule(String modulePath, String module, String... args) throws Exception {
        List<String> command = new java.util.ArrayList<>(List.of(Built.JAVA, Built.PINNED,
                "--enable-native-access=com.vok", "--module-path", modulePath, "-m", module));
        command.addAll(List.of(args));
        ProcessBuilder vm = new ProcessBuilder(command);
        vm.environment().putAll(Map.of("VISUAL", "true", "TERM", "xterm"));
        return Built.run(vm);
    }

    @Test
    void theDemoRunsAsTheModulesEntryPoint() throws Exception {
        Built.Run run = runModule(Built.JAR.toString(), "com.vok/com.vok.Demo", "edit", "notes.txt");
        assertEquals("", run.err());
        assertEquals("vokrane: the editor exited with status 0\n", run.out());
    }

    @Test
    void anApplicationModuleRequiringComVokUsesTerminal() throws Exception {
        Path sources = Files.createDirectories(dir.resolve("src/app"));
        Files.writeString(dir.resolve("src/module-info.java"), "module app { requires com.vok; }\n");
        Files.writeString(sources.resolve("Main.java"), "package app;\n"
                + "public class Main { public static void main(String[] args) {\n"
                + "  System.out.println(com.vok.Terminal.edit(com.vok.Terminal.userEditor(), \"notes.txt\") > 0);\n"
                + "} }\n");
        Path classes = dir.resolve("classes");
        int compiled = ToolProvider.getSystemJavaCompiler().run(null, null, null, "-d", classes.toString(),
                "--module-path", Built.JAR.toString(), dir.resolve("src/module-info.java").toString(),
                sources.resolve("Main.java").toString());
        assertEquals(0, compiled);
        Built.Run run = runModule(Built.JAR + ":" + classes, "app/app.Main");
        assertEquals("", run.err());
        assertEquals("true\n", run.out());
    }
}
