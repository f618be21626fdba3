// The user's shell or editor on this VM's terminal, with Ctrl-C going to the program and not the VM.
package com.vok;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;
import java.util.function.IntSupplier;
import sun.misc.Signal;
import sun.misc.SignalHandler;

/**
 * Runs interactive programs through {@link LinuxNative} the way a terminal user expects.
 *
 * <p>The VM and the program it starts share the terminal's foreground process group, so a Ctrl-C
 * typed at the terminal reaches both, and by default the VM shuts down on it. While a program runs
 * through {@link #shell} or {@link #edit}, SIGINT does not end the VM, as {@code system(3)} keeps it
 * from ending its caller; the VM's own handling is put back when the program has ended. Where
 * {@code system(3)} ignores the signal, which the program would inherit, the VM here catches it with
 * a handler that does nothing: a caught signal is at its default in the started program, just as
 * with the VM's own handler, so the program inherits what it would have without the guard. Where
 * the VM does not handle SIGINT itself ({@code -Xrs}, or started with SIGINT ignored), the guard
 * leaves it alone.
 *
 * <p>Like {@link LinuxNative}'s methods, these calls must not overlap.
 */
public final class Terminal {
    private Terminal() {}

    /** The user's shell: {@code $SHELL}, else {@code /bin/sh}. */
    public static String userShell() {
        return userShell(System.getenv());
    }

    /**
     * The user's editor: {@code $VISUAL}, then {@code $EDITOR}, else {@code vi}.
     *
     * @throws IllegalStateException when the variable holds a command with arguments, such as
     *     {@code code --wait}: {@link LinuxNative#edit} never splits a name, so it could not run it
     */
    public static String userEditor() {
        return userEditor(System.getenv());
    }

    /** Runs {@code program} as {@link LinuxNative#shell} does, with the VM's SIGINT guarded. */
    public static int shell(String program) {
        return withInterruptGuarded(() -> LinuxNative.shell(program));
    }

    /** Runs {@code editor} on {@code file} as {@link LinuxNative#edit} does, with SIGINT guarded. */
    public static int edit(String editor, String file) {
        return withInterruptGuarded(() -> LinuxNative.edit(editor, file));
    }

    static String userShell(Map<String, String> environment) {
        String shell = environment.get("SHELL");
        return shell == null || shell.isEmpty() ? "/bin/sh" : shell;
    }

    static String userEditor(Map<String, String> environment) {
        for (String variable : new String[] {"VISUAL", "EDITOR"}) {
            String editor = environment.get(variable);
            if (editor == null || editor.isEmpty()) continue;
            if (editor.matches("(?s).*\\s.*") && !Files.isExecutable(Path.of(editor))) {
                throw new IllegalStateException(variable + " is \"" + editor + "\", a command with arguments;"
                        + " the editor is started by its name alone, never split, so set " + variable
                        + " to the program itself (or to a script that adds the arguments)");
            }
            return editor;
        }
        return "vi";
    }

    private static int withInterruptGuarded(IntSupplier call) {
        Signal interrupt = new Signal("INT");
        SignalHandler previous;
        try {
            previous = Signal.handle(interrupt, signal -> {});
        } catch (IllegalArgumentException reservedByTheVm) {
            return call.getAsInt();
        }
        try {
            return call.getAsInt();
        } finally {
            Signal.handle(interrupt, previous);
        }
    }
}
