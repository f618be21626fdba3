// The bytes a started program receives for each kind of Java string.
package com.vok;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class ArgumentBytesTest {
    private static final Path RECORD = Path.of(System.getenv("RECORD_FILE"));

    /** The recorder's process ID and arguments, as it wrote them. */
    private static List<byte[]> recorded() throws IOException {
        byte[] bytes = Files.readAllBytes(RECORD);
        List<byte[]> fields = new ArrayList<>();
        for (int start = 0, end; start < bytes.length; start = end + 1) {
            for (end = start; bytes[end] != 0; end++) {}
            fields.add(Arrays.copyOfRange(bytes, start, end));
        }
        return fields;
    }

    /** The recorder's arguments, once its process ID is checked. */
    private static List<byte[]> recorded(int expectedPid) throws IOException {
        List<byte[]> fields = recorded();
        assertEquals(String.valueOf(expectedPid), new String(fields.get(0), StandardCharsets.US_ASCII));
        return fields.subList(1, fields.size());
    }

    private static byte[] bytes(int... values) {
        byte[] result = new byte[values.length];
        for (int i = 0; i < values.length; i++) result[i] = (byte) values[i];
        return result;
    }

    static Stream<Arguments> fileNames() {
        return Stream.of(
                Arguments.of("notes.txt", "notes.txt".getBytes(StandardCharsets.US_ASCII)),
                Arguments.of("café", bytes('c', 'a', 'f', 0xC3, 0xA9)),
                Arguments.of("\uD83D\uDE00", bytes(0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80)),
                Arguments.of("a\u0000b", bytes('a', 0xC0, 0x80, 'b')),
                Arguments.of("-rf", bytes('-', 'r', 'f')),
                Arguments.of("two words", "two words".getBytes(StandardCharsets.US_ASCII)),
                Arguments.of("", bytes()));
    }

    @ParameterizedTest
    @MethodSource("fileNames")
    void editPassesTheFileAsModifiedUtf8(String file, byte[] expected) throws IOException {
        int pid = LinuxNative.edit(Built.RECORDER.toString(), file);
        List<byte[]> argv = recorded(pid);
        assertEquals(2, argv.size());
        assertArrayEquals(Built.RECORDER.toString().getBytes(StandardCharsets.UTF_8), argv.get(0));
        assertArrayEquals(expected, argv.get(1));
    }

    @Test
    void terminalRefusesNamesModifiedUtf8WouldChangeAndStartsNothing() throws IOException {
        Files.deleteIfExists(RECORD);
        for (String changed : List.of("\uD83D\uDE00", "a\u0000b")) {
            IllegalArgumentException refused = assertThrows(IllegalArgumentException.class,
                    () -> Terminal.edit(Built.RECORDER.toString(), changed));
            assertTrue(refused.getMessage().endsWith(", which the library cannot pass on unchanged"), refused.getMessage());
            assertThrows(IllegalArgumentException.class, () -> Terminal.shell(Built.RECORDER + changed));
        }
        assertFalse(Files.exists(RECORD));
    }

    @Test
    void theUserEditorGetsTheFileAsOneArgumentThroughTheShell() throws IOException {
        String file = "+my \"notes\" $HOME 'x'";  // vim would run "+cmd" as a command
        assertEquals(0, Editing.openEditor(Map.of("TERM", "xterm", "VISUAL", Built.RECORDER + " --wait"), null, file));
        List<String> argv = recorded().stream().skip(1).map(field -> new String(field, StandardCharsets.UTF_8)).toList();
        assertEquals(List.of(Built.RECORDER.toString(), "--wait", "./" + file), argv);
    }

    @Test
    void shellPassesNoArgumentButTheName() throws IOException {
        int pid = LinuxNative.shell(Built.RECORDER.toString());
        List<byte[]> argv = recorded(pid);
        assertEquals(1, argv.size());
        assertArrayEquals(Built.RECORDER.toString().getBytes(StandardCharsets.UTF_8), argv.get(0));
    }
}
