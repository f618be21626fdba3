// Signals' names by number, as the running system numbers them: Linux's differ from those of macOS and the BSDs above 6.
package com.vok;

import java.util.List;

final class SignalNames {
    // As the generic processors and x86 number them.
    private static final List<String> LINUX = List.of("", "HUP", "INT", "QUIT", "ILL", "TRAP", "ABRT", "BUS", "FPE",
            "KILL", "USR1", "SEGV", "USR2", "PIPE", "ALRM", "TERM", "STKFLT", "CHLD", "CONT", "STOP", "TSTP", "TTIN",
            "TTOU", "URG", "XCPU", "XFSZ", "VTALRM", "PROF", "WINCH", "IO", "PWR", "SYS");
    // As macOS, FreeBSD, OpenBSD, NetBSD and DragonFly number them, after 4.4BSD.
    private static final List<String> BSD = List.of("", "HUP", "INT", "QUIT", "ILL", "TRAP", "ABRT", "EMT", "FPE",
            "KILL", "BUS", "SEGV", "SYS", "PIPE", "ALRM", "TERM", "URG", "STOP", "TSTP", "CONT", "CHLD", "TTIN",
            "TTOU", "IO", "XCPU", "XFSZ", "VTALRM", "PROF", "WINCH", "INFO", "USR1", "USR2");
    private static final List<String> RUNNING = numbering(System.getProperty("os.name", ""));

    private SignalNames() {}

    /** Signal {@code signal}'s name, "SIGKILL", on this system, or null where its numbering is not known. */
    static String of(int signal) {
        return signal > 0 && signal < RUNNING.size() ? "SIG" + RUNNING.get(signal) : null;
    }

    // The names of a system with this os.name, or none.
    static List<String> numbering(String system) {
        if (system.equals("Linux")) return LINUX;
        boolean bsd = system.equals("Mac OS X") || system.endsWith("BSD") || system.equals("DragonFly");
        return bsd ? BSD : List.of();
    }
}
