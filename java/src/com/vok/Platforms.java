// Which of the jar's libraries fits this VM: by os.arch, and for 32-bit ARM by the float ABI of the VM's own executable.
package com.vok;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;

final class Platforms {
    static final String PACKED = "linux-x86_64 (os.arch amd64 or x86_64), linux-aarch64 (aarch64), linux-x86"
            + " (x86, or i386 to i686), linux-arm (arm, hard float), linux-armel (arm, soft float), linux-ppc64le"
            + " (ppc64le), linux-s390x (s390x), linux-riscv64 (riscv64)";

    private Platforms() {}

    /** The jar's platform for a Linux VM with this {@code os.arch}, or null when it has none. */
    static String of(String arch) {
        return of(arch, arch.equals("arm") ? executableHeader() : null);
    }

    /**
     * As {@link #of(String)}, given the first bytes of the VM's executable, which only arm needs:
     * armhf and armel VMs both say "arm". Never decided by which files the machine happens to have.
     */
    static String of(String arch, byte[] header) {
        switch (arch) {
            case "amd64":
            case "x86_64":
                return "linux-x86_64";
            case "aarch64":
                return "linux-aarch64";
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
                return armFloatAbi(header);
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

    private static byte[] executableHeader() {
        try (InputStream executable = Files.newInputStream(Path.of("/proc/self/exe"))) {
            return executable.readNBytes(64);
        } catch (IOException unreadable) {
            return null;
        }
    }
}
