// Run by the tests in a second VM: calls LinuxNative.shell (one argument) or edit (two) once and
// prints the result.
package com.vok;

public final class CallOnce {
    public static void main(String[] args) {
        System.out.println(args.length == 1 ? LinuxNative.shell(args[0]) : LinuxNative.edit(args[0], args[1]));
    }
}
