// Run by the tests in a VM with the JDK's signal-chaining library preloaded: a native library
// installs its handlers, a successful and a failed launch follow, and the handlers must still be
// its own and still recover a fault of its own.
package com.vok;

public final class ChainedHandlers {
    /** Installs the test library's handlers for SIGILL, SIGBUS, SIGFPE, SIGSEGV, SIGPIPE and SIGXFSZ. */
    static native void install();

    /** Whether the process still reports the test library's handler for each of them. */
    static native boolean intact();

    /** Faults on a page the SIGSEGV handler then makes readable; whether the read completed. */
    static native boolean recoverFromFault();

    private static String state() {
        return (intact() ? "intact" : "changed") + ", " + (recoverFromFault() ? "recovered" : "not recovered");
    }

    public static void main(String[] args) {
        System.load(System.getProperty("vokrane.chainedHandlers"));
        install();
        System.out.println("before: " + state());
        LinuxNative.shell("true");
        LinuxNative.shell("/nonexistent/program");
        System.out.println("after: " + state());
    }
}
