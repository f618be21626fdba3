// Which program the Terminal helper picks from the environment, how it runs it, and what it refuses.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;

@SuppressWarnings("unchecked")  // the tables' environments
class TerminalTest {
    @Test
    void shellIsShellElseBinSh() {
        assertEquals("/bin/zsh", UserEditor.userShell(Map.of("SHELL", "/bin/zsh")));
        assertEquals("/bin/sh", UserEditor.userShell(Map.of()));
        assertEquals("/bin/sh", UserEditor.userShell(Map.of("SHELL", "")));
    }

    @Test
    void editorIsVisualThenEditorElseVi() {
        assertEquals("vim", UserEditor.programName(Map.of("VISUAL", "vim", "EDITOR", "ed")));
        assertEquals("ed", UserEditor.programName(Map.of("VISUAL", "", "EDITOR", "ed")));
        assertEquals("vi", UserEditor.programName(Map.of()));
    }

    @Test
    void anEditorWithArgumentsIsRefusedByName() {
        IllegalStateException refused = assertThrows(IllegalStateException.class,
                () -> UserEditor.programName(Map.of("EDITOR", "code --wait")));
        assertTrue(refused.getMessage().startsWith("EDITOR is \"code --wait\", a command with arguments"));
    }

    @Test
    void anEditorIsLookedForOnPathAndOneNotFoundIsRefusedByVariableAndValue(@TempDir Path dir) throws Exception {
        Files.copy(Path.of("/bin/true"), dir.resolve("my-editor"));
        assertEquals("my-editor", UserEditor.programName(Map.of("EDITOR", "my-editor", "PATH", "/nonexistent:" + dir)));
        IllegalStateException refused = assertThrows(IllegalStateException.class,
                () -> UserEditor.programName(Map.of("EDITOR", "my-editor", "PATH", "/bin:/usr/bin")));
        assertEquals("EDITOR is \"my-editor\", which is not a program on PATH (/bin:/usr/bin)", refused.getMessage());
        refused = assertThrows(IllegalStateException.class, () -> UserEditor.programName(Map.of("PATH", dir.toString())));
        assertEquals("neither VISUAL nor EDITOR is set, and vi is not a program on PATH (" + dir + ")", refused.getMessage());
        // An empty entry of PATH is the working directory.
        Path here = Files.copy(Path.of("/bin/true"), Path.of("vokrane-editor-" + System.nanoTime()).toAbsolutePath());
        try {
            String name = here.getFileName().toString();
            assertEquals(name, UserEditor.programName(Map.of("EDITOR", name, "PATH", "/nonexistent:")));
        } finally {
            Files.delete(here);
        }
    }

    @Test
    void theUserEditorIsChosenAndRunAsGitDoes(@TempDir Path dir) throws Exception {
        String file = "-my \"notes\" $HOME";  // an option to most editors, unless it is "./-my ..."
        Object[][] cases = {  // environment, command
            {Map.of("TERM", "xterm", "VISUAL", "vim", "EDITOR", "ed"), List.of("vim", "./" + file)},
            {Map.of("TERM", "dumb", "VISUAL", "vim", "EDITOR", "ed"), List.of("ed", "./" + file)},
            {Map.of("VISUAL", "vim", "EDITOR", "ed"), List.of("ed", "./" + file)},
            {Map.of("TERM", "xterm", "VISUAL", "", "EDITOR", "code --wait"),
                List.of("sh", "-c", "trap : INT QUIT; code --wait \"$@\"", "code --wait", "./" + file)},
            {Map.of("TERM", "xterm", "VISUAL", "$HOME/ed"), List.of("sh", "-c", "trap : INT QUIT; $HOME/ed \"$@\"", "$HOME/ed", "./" + file)},
            {Map.of("TERM", "dumb", "VISUAL", "vim"), List.of("vi", "./" + file)},
            {Map.of("TERM", "xterm", "VISUAL", "~/ed"), List.of("sh", "-c", "trap : INT QUIT; ~/ed \"$@\"", "~/ed", "./" + file)},
            {Map.of("TERM", "xterm", "VISUAL", "ed=1"), List.of("sh", "-c", "trap : INT QUIT; ed=1 \"$@\"", "ed=1", "./" + file)},
            {Map.of("TERM", "xterm", "VISUAL", "%ed"), List.of("sh", "-c", "trap : INT QUIT; %ed \"$@\"", "%ed", "./" + file)},
            // The tool's own variable comes first, whatever TERM is.
            {Map.of("TERM", "dumb", "NOTES_EDITOR", "ed -s", "VISUAL", "vim"),
                List.of("sh", "-c", "trap : INT QUIT; ed -s \"$@\"", "ed -s", "./" + file)},
            {Map.of("TERM", "xterm", "NOTES_EDITOR", "", "VISUAL", "vim"), List.of("vim", "./" + file)},
        };
        for (Object[] c : cases) {
            assertEquals(c[1], UserEditor.of((Map<String, String>) c[0], "NOTES_EDITOR").command(file), c[0].toString());
        }
        Object[][] refusals = {  // environment, message
            {Map.of("TERM", "xterm", "VISUAL", "code --wait", "PATH", dir.toString()),
                "VISUAL is \"code --wait\": code is not a program on PATH (" + dir + ")"},
            {Map.of("TERM", "xterm", "PATH", dir.toString()),
                "neither NOTES_EDITOR, VISUAL nor EDITOR is set, and the default is vi: vi is not a program on PATH (" + dir + ")"},
            {Map.of("TERM", "xterm", "NOTES_EDITOR", "vokrane-missing", "PATH", dir.toString()),
                "NOTES_EDITOR is \"vokrane-missing\": vokrane-missing is not a program on PATH (" + dir + ")"},
            {Map.of("TERM", "xterm", "VISUAL", " \tvokrane-missing -x", "PATH", dir.toString()),
                "VISUAL is \" \tvokrane-missing -x\": vokrane-missing is not a program on PATH (" + dir + ")"},
        };
        for (Object[] c : refusals) {
            IllegalStateException refused = assertThrows(IllegalStateException.class,
                    () -> Editing.openEditor((Map<String, String>) c[0], "NOTES_EDITOR", "notes.txt"));
            assertEquals(c[1], refused.getMessage());
        }
        assertEquals(1, Editing.openEditor(Map.of("TERM", "xterm", "VISUAL", "false"), null, "notes.txt"));
        // A first word that is more than a name is the shell's to judge.
        assertEquals(127, Editing.openEditor(Map.of("TERM", "xterm", "VISUAL", "\"$HOME/vokrane-missing\" -x"), null, "notes.txt"));
    }

    @Test
    void runGivesTheExitStatusAsWaitForDoes() throws Exception {
        Object[][] cases = {{"exit 0", 0}, {"exit 3", 3}, {"kill -KILL $$", 128 + 9}};
        for (Object[] c : cases) assertEquals(c[1], Terminal.run(new ProcessBuilder("sh", "-c", (String) c[0])), (String) c[0]);
        // Interrupted, it still waits for the program, and keeps the interrupt for the caller.
        Thread.currentThread().interrupt();
        long start = System.nanoTime();
        assertEquals(0, Terminal.run(new ProcessBuilder("sleep", "0.3")));
        assertTrue(Thread.interrupted());
        assertTrue(System.nanoTime() - start >= 300_000_000L);
    }

    @Test
    void aProgramThatCannotRunIsRefusedBeforeAnythingStarts(@TempDir Path dir) throws Exception {
        Path notExecutable = Files.writeString(dir.resolve("notes"), "");
        Object[][] cases = {  // call, why
            {(Executable) () -> Terminal.shell("vokrane-no-such-program"), "\"vokrane-no-such-program\": not a program on PATH ("
                + System.getenv("PATH") + ")"},
            {(Executable) () -> Terminal.edit(notExecutable.toString(), "f"), "\"" + notExecutable + "\": not an executable file"},
            {(Executable) () -> Terminal.shell(dir + "/missing"), "\"" + dir + "/missing\": no such file"},
            {(Executable) () -> Terminal.shell(dir.toString()), "\"" + dir + "\": not an executable file"},
        };
        for (Object[] c : cases) {
            assertEquals("cannot run " + c[1], assertThrows(IllegalArgumentException.class, (Executable) c[0]).getMessage());
        }
    }

    @Test
    void aProgramWhoseNameTheLibraryCannotCarryIsRefusedBeforeItIsLookedFor(@TempDir Path dir) throws Exception {
        String program = dir + "/true-\uD83D\uDE00";
        IllegalArgumentException refused = assertThrows(IllegalArgumentException.class, () -> Terminal.shell(program));
        assertTrue(refused.getMessage().endsWith("holds U+1F600, which the library cannot pass on unchanged"), refused.getMessage());
    }

    @Test
    void anExecutablePathWithABlankIsAnEditorNotACommand(@TempDir Path dir) throws Exception {
        Path editor = Files.copy(Path.of("/bin/true"), dir.resolve("an editor"));
        assertEquals(editor.toString(), UserEditor.programName(Map.of("VISUAL", editor.toString())));
    }

    /** Edits {@code text} with the scripted editor doing {@code what}, from a VM with no terminal. */
    private static Optional<String> editText(Path dir, String what, String text, String suffix) throws IOException {
        Map<String, String> environment = Map.of("TERM", "xterm", "VISUAL", "sh " + Built.scriptedEditor(dir) + " " + what);
        return Editing.editText(environment, null, text, suffix);
    }

    private static List<Path> editDirectories() throws IOException {
        try (var entries = Files.list(Path.of(System.getProperty("java.io.tmpdir")))) {
            return entries.filter(path -> path.getFileName().toString().startsWith("vokrane-edit-")).toList();
        }
    }

    @Test
    void editTextGivesBackWhatWasSavedByteForByteAndNothingWhenNothingWas(@TempDir Path dir) throws Exception {
        List<Path> before = editDirectories();
        Object[][] cases = {  // what the editor does, the text, what comes back
            {"append", "hello\r\n\n", Optional.of("hello\r\n\nadded\r\n")},
            {"nothing", "hello\n", Optional.empty()},
            {"delete", "hello\n", Optional.empty()},
            {"same", "na\u00efve\n", Optional.of("na\u00efve\n")},  // in place, within the same tick
            {"rename", "hello\n", Optional.of("hello\n")},
            {"bom", "", Optional.of("with a mark\n")},
            {"rmdir", "hello\n", Optional.empty()},
        };
        for (Object[] c : cases) assertEquals(c[2], editText(dir, (String) c[0], (String) c[1], ".md"), (String) c[0]);
        String modes = editText(dir, "modes", "", ".md").orElseThrow();
        assertTrue(modes.matches("700 /.*/vokrane-edit-[^/]+\n600 /.*/vokrane-edit-[^/]+/[^/]*\\.md\n"), modes);
        // Refused before anything is made: what no file name or UTF-8 file can carry, and a shared
        // temporary directory where another user could swap the draft's directory.
        for (String suffix : new String[] {"/x.md", ".m\0d", ".\uD800"}) {
            assertThrows(IllegalArgumentException.class, () -> editText(dir, "append", "", suffix));
        }
        IllegalArgumentException lone = assertThrows(IllegalArgumentException.class, () -> editText(dir, "append", "ab\uDC00", ""));
        assertTrue(lone.getMessage().contains("unpaired surrogate at index 2"), lone.getMessage());
        Path shared = Files.createDirectory(dir.resolve("shared"), PosixFilePermissions.asFileAttribute(
                PosixFilePermissions.fromString("rwxrwxrwx")));
        Files.setPosixFilePermissions(shared, PosixFilePermissions.fromString("rwxrwxrwx"));
        List<String[]> untrusted = new java.util.ArrayList<>(List.of(Built.untrustedTemporaryDirectories(dir)));
        untrusted.add(new String[] {shared.toString(), " may be written by other users and is not sticky"});
        String temporary = System.getProperty("java.io.tmpdir");
        try {
            for (String[] c : untrusted) {
                System.setProperty("java.io.tmpdir", c[0]);
                IOException refused = assertThrows(IOException.class, () -> editText(dir, "append", "", ".md"));
                assertTrue(refused.getMessage().startsWith("java.io.tmpdir=" + c[0] + c[1]), refused.getMessage());
                assertEquals(List.of(), Files.list(Path.of(c[0])).toList());
            }
        } finally {
            System.setProperty("java.io.tmpdir", temporary);
        }
        assertEquals(before, editDirectories());
    }

    @Test
    void signalsAreNamedAsTheRunningSystemNumbersThem() {
        Object[][] cases = {{"Linux", 7, "BUS"}, {"Linux", 10, "USR1"}, {"Mac OS X", 10, "BUS"}, {"Mac OS X", 30, "USR1"},
            {"FreeBSD", 12, "SYS"}, {"OpenBSD", 29, "INFO"}, {"SunOS", 9, null}};
        for (Object[] c : cases) {
            List<String> names = SignalNames.numbering((String) c[0]);
            assertEquals(c[2], (int) c[1] < names.size() ? names.get((int) c[1]) : null, c[0] + " " + c[1]);
        }
    }

    @Test
    void anEditorThatFailsThrowsAndKeepsWhatWasSavedOnly(@TempDir Path dir) throws Exception {
        // Window editors that return at once.
        Path code = Files.writeString(dir.resolve("code"), "#!/bin/sh\n");
        Path emacsclient = Files.copy(code, dir.resolve("emacsclient"));
        Path gvim = Files.copy(code, dir.resolve("gvim"));
        for (Path editor : List.of(code, emacsclient, gvim)) editor.toFile().setExecutable(true);
        Object[][] cases = {  // editor, status, message, what the kept file holds (null: none is kept)
            {"sh " + Built.scriptedEditor(dir) + " fail", 1, "exited with status 1; the text saved is kept in ", "draft\nsaved\n"},
            {"sh " + Built.scriptedEditor(dir) + " killed", 137, "was killed by SIGKILL", null},
            {"sh " + Built.scriptedEditor(dir) + " killed-swap", 137, "was killed by SIGKILL; what the editor left is kept in ", "draft\n"},
            {"sh " + Built.scriptedEditor(dir) + " latin1", 0, "saved text that is not UTF-8; the text saved is kept in ", "caf\u00e9\n"},
            {code.toString(), 0, "returned without the file written: code returned before its window closed: set VISUAL='" + code
                + " --wait' so that it waits; the file, which its window may still show, is kept in ", "draft\n"},
            {emacsclient + " -n", 0, "returned without the file written: emacsclient -n returns before its window closes: set"
                + " VISUAL='" + emacsclient + "' so that it waits; the file, which its window may still show, is kept in ", "draft\n"},
        };
        List<Path> before = editDirectories();
        for (Object[] c : cases) {
            EditorException failed = assertThrows(EditorException.class,
                    () -> Editing.editText(Map.of("TERM", "xterm", "VISUAL", (String) c[0]), null, "draft\n", ".txt"));
            assertEquals(c[1], failed.status());
            assertTrue(failed.getMessage().startsWith("the editor \"" + c[0] + "\" " + c[2]), failed.getMessage());
            assertEquals(c[3] != null, failed.keptFile().isPresent(), failed.getMessage());
            if (c[3] == null) continue;
            Path kept = failed.keptFile().orElseThrow();
            assertTrue(failed.getMessage().endsWith(kept.toString()));
            // A draft left untouched is kept only with what may recover the user's text: the directory.
            Path directory = Files.isDirectory(kept) ? kept : kept.getParent();
            if (Files.isDirectory(kept)) assertEquals("unsaved\n", Files.readString(kept.resolve(".swp")));
            Path file = Files.isDirectory(kept) ? kept.resolve("text.txt") : kept;
            assertEquals(c[3], new String(Files.readAllBytes(file), java.nio.charset.StandardCharsets.ISO_8859_1));
            try (var entries = Files.list(directory)) {
                for (Path entry : entries.toList()) Files.delete(entry);
            }
            Files.delete(directory);
        }
        assertEquals(before, editDirectories());
        // With an option that makes it wait, the same editor returning without a save is an edit left unsaved.
        for (String waits : List.of(code + " --wait", gvim + " -v", gvim + " --nofork", emacsclient + " -c")) {
            assertEquals(Optional.empty(), Editing.editText(Map.of("TERM", "xterm", "VISUAL", waits), null, "x", ""), waits);
        }
    }

    @Test
    void aVmEndingAfterAnEditKeepsWhatItKeptAndAHungUpOneRemovesTheDraftUnlessTheEditorLeftSomethingBeside(@TempDir Path dir)
            throws Exception {
        Path code = Files.writeString(dir.resolve("code"), "#!/bin/sh\n");  // a window editor that returns at once
        code.toFile().setExecutable(true);
        String scripted = "sh " + Built.scriptedEditor(dir) + " ";
        Object[][] cases = {  // the editor, the VM's exit status, what is left in its java.io.tmpdir
            {scripted + "hup", 129, List.of("")},  // the editor hangs the VM up
            {scripted + "hup-swap", 129, List.of("", "vokrane-edit-", "vokrane-edit-/.swp", "vokrane-edit-/text.txt")},
            // Kept for the user, and still there once the VM has exited normally.
            {code.toString(), 0, List.of("", "vokrane-edit-", "vokrane-edit-/text.txt")},
            {scripted + "fail", 0, List.of("", "vokrane-edit-", "vokrane-edit-/text.txt")},
        };
        for (Object[] c : cases) {
            Path tmp = Files.createTempDirectory(dir, "tmp");
            ProcessBuilder vm = new ProcessBuilder(Built.pinnedVm(Built.JAR + ":" + Built.TEST_CLASSES,
                    List.of("-Djava.io.tmpdir=" + tmp), "com.vok.EditTool", "edit"));
            vm.environment().putAll(Map.of("TERM", "xterm", "VISUAL", (String) c[0]));
            Built.Run run = Built.run(vm);
            assertEquals(c[1], run.exitCode(), run.err());
            try (var left = Files.walk(tmp)) {
                assertEquals(c[2], left.map(path -> tmp.relativize(path).toString().replaceAll("vokrane-edit-[0-9]+", "vokrane-edit-"))
                        .sorted().toList(), c[0] + " " + run);
            }
        }
    }

    @Test
    void onAFileSystemOfWholeSecondsASaveWithinTheSecondCountsAndAFullOneIsNamed(@TempDir Path dir) throws Exception {
        // ext4 with 128-byte inodes keeps times in whole seconds.
        Path image = dir.resolve("image");
        Path mounted = Files.createDirectory(dir.resolve("mounted"));
        assertEquals(0, Built.run(new ProcessBuilder("mkfs.ext4", "-q", "-I", "128", image.toString(), "2M")).exitCode());
        Built.Run mount = Built.run(new ProcessBuilder("mount", "-o", "loop", image.toString(), mounted.toString()));
        assertEquals(0, mount.exitCode(), mount.err());
        String temporary = System.getProperty("java.io.tmpdir");
        try {
            System.setProperty("java.io.tmpdir", mounted.toString());
            for (int i = 0; i < 3; i++) assertEquals(Optional.of("same size\n"), editText(dir, "same", "same size\n", ".md"));
            java.nio.file.FileStore store = Files.getFileStore(mounted);
            Files.write(mounted.resolve("filler"), new byte[(int) (store.getUnallocatedSpace() - 64 * 1024)]);
            IOException full = assertThrows(IOException.class, () -> editText(dir, "same", "x".repeat(1 << 20), ".md"));
            assertEquals("cannot write into java.io.tmpdir=" + mounted + " (No space left on device): -Djava.io.tmpdir"
                    + " chooses another directory", full.getMessage());
        } finally {
            System.setProperty("java.io.tmpdir", temporary);
            assertEquals(0, Built.run(new ProcessBuilder("umount", mounted.toString())).exitCode());
        }
    }

    @Test
    void onADumbTerminalTheHintEndsItsLineAndNoEscapeFollows(@TempDir Path dir) throws Exception {
        String tool = Built.JAVA + " " + Built.PINNED + " -cp " + Built.JAR + ":" + Built.TEST_CLASSES + " com.vok.EditTool edit";
        for (String term : new String[] {"dumb", "xterm"}) {
            // script runs the tool on a terminal of its own, and copies all it writes there.
            ProcessBuilder terminal = new ProcessBuilder("script", "-qec", tool, "/dev/null");
            terminal.environment().putAll(Map.of("TERM", term, "EDITOR", "sh " + Built.scriptedEditor(dir) + " nothing", "VISUAL", ""));
            String bytes = Built.run(terminal).out();
            String hint = "hint: Waiting for your editor to close the file... ";
            assertEquals(term.equals("dumb") ? hint + "\r\ngot nothing\r\n" : hint + "\r\033[Kgot nothing\r\n", bytes, term);
        }
    }
}
