// The functions a shared library exports, read from its ELF file before it is loaded: a library that is not this jar's is refused by name.
package com.vok;

import java.io.IOException;
import java.nio.BufferUnderflowException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.channels.FileChannel;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

final class ElfExports {
    private static final int SHT_DYNSYM = 11;

    private ElfExports() {}

    /**
     * Which of {@code wanted} the ELF shared library {@code file} does not define in its dynamic
     * symbol table, in the order given; all of them when it has none.
     *
     * @throws IOException when the file cannot be read, or is not an ELF file this can read
     */
    static List<String> missing(Path file, List<String> wanted) throws IOException {
        Set<String> defined = defined(file);
        List<String> missing = new ArrayList<>();
        for (String name : wanted) {
            if (!defined.contains(name)) missing.add(name);
        }
        return missing;
    }

    private static Set<String> defined(Path file) throws IOException {
        // Read, not mapped: a mapping would stay until the buffer is collected, as if loaded.
        try (FileChannel channel = FileChannel.open(file, StandardOpenOption.READ)) {
            ByteBuffer elf = ByteBuffer.allocate(Math.toIntExact(channel.size()));
            while (elf.hasRemaining() && channel.read(elf) > 0) continue;
            elf.flip();
            if (elf.limit() < 16 || elf.getInt(0) != 0x7F454C46) throw new IOException("no ELF header");
            boolean wide = elf.get(4) == 2;
            elf.order(elf.get(5) == 2 ? ByteOrder.BIG_ENDIAN : ByteOrder.LITTLE_ENDIAN);
            long sections = wide ? elf.getLong(0x28) : elf.getInt(0x20) & 0xFFFFFFFFL;
            int entrySize = elf.getShort(wide ? 0x3A : 0x2E) & 0xFFFF;
            int count = elf.getShort(wide ? 0x3C : 0x30) & 0xFFFF;
            Set<String> names = new HashSet<>();
            for (int i = 0; i < count; i++) {
                int header = Math.toIntExact(sections + (long) i * entrySize);
                if (elf.getInt(header + 4) != SHT_DYNSYM) continue;
                int strings = Math.toIntExact(sections + (long) elf.getInt(header + (wide ? 0x28 : 0x18)) * entrySize);
                readDefined(elf, wide, offsetOf(elf, wide, header), sizeOf(elf, wide, header),
                        offsetOf(elf, wide, strings), names);
            }
            return names;
        } catch (IndexOutOfBoundsException | BufferUnderflowException | ArithmeticException damaged) {
            throw new IOException("its ELF headers are damaged");
        }
    }

    // The names of the symbols a section of `size` bytes at `table` defines (those of section
    // SHN_UNDEF, 0, are imports), their names in the string table at `strings`.
    private static void readDefined(ByteBuffer elf, boolean wide, int table, int size, int strings, Set<String> names) {
        int entry = wide ? 24 : 16;
        for (int at = table + entry; at + entry <= table + size; at += entry) {
            if ((elf.getShort(at + (wide ? 6 : 14)) & 0xFFFF) == 0) continue;
            int name = strings + elf.getInt(at);
            StringBuilder text = new StringBuilder();
            for (byte b; (b = elf.get(name++)) != 0;) text.append((char) (b & 0xFF));
            names.add(text.toString());
        }
    }

    private static int offsetOf(ByteBuffer elf, boolean wide, int header) {
        return Math.toIntExact(wide ? elf.getLong(header + 0x18) : elf.getInt(header + 0x10) & 0xFFFFFFFFL);
    }

    private static int sizeOf(ByteBuffer elf, boolean wide, int header) {
        return Math.toIntExact(wide ? elf.getLong(header + 0x20) : elf.getInt(header + 0x14) & 0xFFFFFFFFL);
    }
}
