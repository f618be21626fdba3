// Run by the tests in a second VM: calls LinuxNative.shell once and prints the result.
package com.vok;

public final class CallShell {
    public static void main(String[] args) {
        System.out.println(LinuxNative.shell(args[0]));
    }
}
