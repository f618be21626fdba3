// Which of the jar's libraries fits this VM: by os.arch, and by the VM's own executable for 32-bit ARM's float ABI and for musl.
package com.vok;

import java.io.FileInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;

final class Platforms {
    static final String PACKED = "linux-x86_64 (os.arch amd64 or x86_64), linux-x86_64-musl (amd64 or x86_64,"
            + " with musl), linux-aarch64 (aarch64), linux-aarch64-musl (aarch64, with musl), linux-x86"
            + " (x86, or i386 to i686), linux-arm (arm, hard float), linux-armel (arm, soft float), linux-ppc64le"
            + " (ppc64le), linux-s390x (s390x), linux-riscv64 (riscv64)";

    private Platforms() {}

    /** The jar's platform for a Linux VM with this {@code os.arch}, or null when it has none. */
    static String of(String arch) {
        boolean needed = arch.equals("arm") || arch.equals("amd64") || arch.equals("x86_64") || arch.equals("aarch64");
        return of(arch, needed ? executableHeaders() : null);
    }

    /**
     * As {@link #of(String)}, given the first bytes of the VM's executable: armhf and armel VMs
     * both say "arm", and a VM on musl says what one on glibc says. Never decided by which files the
     * machine happens to have (a Debian machine with musl installed has musl's loader too).
     */
    static String of(String arch, byte[] headers) {
        switch (arch) {
            case "amd64":
            case "x86_64":
                return interpreter(headers).contains("/ld-musl-") ? "linux-x86_64-musl" : "linux-x86_64";
            case "aarch64":
                return interpreter(headers).contains("/ld-musl-") ? "linux-aarch64-musl" : "linux-aarch64";
            case "x86":
            case "i386":
            case "i486":
            case "i586":
            case "i686":
                return "linux-x86";
            case "ppc64le":
                return "linux-ppc64le";
            case "s390x":
                return "linux-s390x";
            case "riscv64":
                return "linux-riscv64";
            case "arm":
                return armFloatAbi(headers);
            default:
                return null;
        }
    }

    // EF_ARM_ABI_FLOAT_HARD (0x400) or _SOFT (0x200) in e_flags, at byte 36 of a 32-bit
    // little-endian ELF header; an executable that says neither gets no copy.
    private static String armFloatAbi(byte[] header) {
        if (header == null || header.length < 40 || header[4] != 1 || header[5] != 1) return null;
        int flags = (header[36] & 0xff) | (header[37] & 0xff) << 8;
        if ((flags & 0x400) != 0) return "linux-arm";
        if ((flags & 0x200) != 0) return "linux-armel";
        return null;
    }

    // The program interpreter a 64-bit little-endian executable names (PT_INTERP), or "" for none
    // within `headers`.
    static String interpreter(byte[] headers) {
        if (headers == null || headers.length < 64 || headers[4] != 2 || headers[5] != 1) return "";
        ByteBuffer elf = ByteBuffer.wrap(headers).order(ByteOrder.LITTLE_ENDIAN);
        long table = elf.getLong(0x20);
        int entrySize = elf.getShort(0x36) & 0xffff, entries = elf.getShort(0x38) & 0xffff;
        for (int i = 0; i < entries; i++) {
            long at = table + (long) i * entrySize;
            if (at < 0 || at + 0x28 > headers.length) break;
            if (elf.getInt((int) at) != 3) continue;  // PT_INTERP
            long offset = elf.getLong((int) at + 0x08), size = elf.getLong((int) at + 0x20);
            if (offset < 0 || size < 1 || offset + size > headers.length) break;
            return new String(headers, (int) offset, (int) size - 1, StandardCharsets.ISO_8859_1);
        }
        return "";
    }

    // The start of the VM's executable, where its ELF header and program headers lie.
    private static byte[] executableHeaders() {
        // FileInputStream, whose classes a fresh VM has loaded already, unlike those of Files.
        try (InputStream executable = new FileInputStream("/proc/self/exe")) {
            return executable.readNBytes(4096);
        } catch (IOException unreadable) {
            return null;
        }
    }
}
