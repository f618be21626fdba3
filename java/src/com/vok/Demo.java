// The demo behind `java -jar vokrane.jar`: hand the terminal to the user's shell or editor and back.
package com.vok;

import java.io.IOException;

/** {@code java -jar vokrane.jar} runs the user's shell; {@code java -jar vokrane.jar edit FILE} the editor. */
public final class Demo {
    private Demo() {}

    public static void main(String[] args) throws IOException {
        String program;
        int pid;
        try {
            if (args.length == 0) {
                program = Terminal.userShell();
                System.out.println("vokrane: this is " + program + ", started from Java by libvokrane on this terminal;"
                        + " type exit to come back to Java");
                pid = Terminal.shell(program);
            } else if (args.length == 2 && args[0].equals("edit")) {
                // The user's editor as a tool opens it: any command, as git runs it.
                int status = Terminal.openEditor(args[1]);
                System.out.println("vokrane: the editor exited with status " + status);
                System.exit(status == 0 ? 0 : 1);
                return;
            } else {
                System.err.println("usage: java -jar vokrane.jar [edit FILE]");
                System.exit(2);
                return;
            }
        } catch (IllegalStateException | IllegalArgumentException e) {
            System.err.println("vokrane: " + e.getMessage());
            System.exit(2);
            return;
        }
        if (pid == -1) {
            System.err.println("vokrane: could not run " + program);
            System.exit(1);
        }
        System.out.println("vokrane: " + program + " ended (process " + pid + ")");
    }
}
