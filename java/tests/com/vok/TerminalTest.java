// Which program the Terminal helper picks from the environment.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class TerminalTest {
    @Test
    void shellIsShellElseBinSh() {
        assertEquals("/bin/zsh", Terminal.userShell(Map.of("SHELL", "/bin/zsh")));
        assertEquals("/bin/sh", Terminal.userShell(Map.of()));
        assertEquals("/bin/sh", Terminal.userShell(Map.of("SHELL", "")));
    }

    @Test
    void editorIsVisualThenEditorElseVi() {
        assertEquals("vim", Terminal.userEditor(Map.of("VISUAL", "vim", "EDITOR", "ed")));
        assertEquals("ed", Terminal.userEditor(Map.of("VISUAL", "", "EDITOR", "ed")));
        assertEquals("vi", Terminal.userEditor(Map.of()));
    }

    @Test
    void anEditorWithArgumentsIsRefusedByName() {
        IllegalStateException refused = assertThrows(IllegalStateException.class,
                () -> Terminal.userEditor(Map.of("EDITOR", "code --wait")));
        assertTrue(refused.getMessage().startsWith("EDITOR is \"code --wait\", a command with arguments"));
    }

    @Test
    void anEditorIsLookedForOnPathAndOneNotFoundIsRefusedByVariableAndValue(@TempDir Path dir) throws Exception {
        Files.copy(Path.of("/bin/true"), dir.resolve("my-editor"));
        assertEquals("my-editor", Terminal.userEditor(Map.of("EDITOR", "my-editor", "PATH", "/nonexistent:" + dir)));
        IllegalStateException refused = assertThrows(IllegalStateException.class,
                () -> Terminal.userEditor(Map.of("EDITOR", "my-editor", "PATH", "/bin:/usr/bin")));
        assertEquals("EDITOR is \"my-editor\", which is neither an executable file nor a program on PATH",
                refused.getMessage());
        refused = assertThrows(IllegalStateException.class, () -> Terminal.userEditor(Map.of("PATH", dir.toString())));
        assertEquals("neither VISUAL nor EDITOR is set, and vi is not a program on PATH", refused.getMessage());
    }

    @Test
    void anExecutablePathWithABlankIsAnEditorNotACommand(@TempDir Path dir) throws Exception {
        Path editor = Files.copy(Path.of("/bin/true"), dir.resolve("an editor"));
        assertEquals(editor.toString(), Terminal.userEditor(Map.of("VISUAL", editor.toString())));
    }
}
