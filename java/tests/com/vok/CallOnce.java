// Run by the tests in a second VM: calls LinuxNative.shell (one argument) or edit (two) once and
// prints the result; given "terminal" first, Terminal's instead.
package com.vok;

public final class CallOnce {
    public static void main(String[] args) {
        if (args[0].equals("terminal")) {
            System.out.println(args.length == 2 ? Terminal.shell(args[1]) : Terminal.edit(args[1], args[2]));
            return;
        }
        System.out.println(args.length == 1 ? LinuxNative.shell(args[0]) : LinuxNative.edit(args[0], args[1]));
    }
}
