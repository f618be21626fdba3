// The Java face of libvokrane: run a program on this VM's terminal and wait for it to end.
package com.vok;

/**
 * Runs a program as a child of this VM on the VM's own terminal, and waits for it to end.
 *
 * <p>The program inherits the VM's standard input, output and error, its environment, working
 * directory and every descriptor not marked close-on-exec, with nothing changed on the way, so an
 * interactive program (a shell, an editor) uses the terminal the VM runs on. It starts with no
 * signal blocked (Java threads block some for the VM's own use), and with the VM's ignored signals
 * still ignored. For the user's own shell or editor, with Ctrl-C kept from ending the VM, see
 * {@link Terminal}.
 *
 * <p>The contract of both methods:
 * <ul>
 *   <li>The calling thread blocks until the started program has ended.
 *   <li>The result is the program's process ID, however the program ended (with any exit status,
 *       or killed by a signal), or -1 when no program could be started or the wait failed. A null
 *       argument gives -1 and starts nothing.
 *   <li>A program that cannot be loaded (missing, not executable) writes
 *       {@code "an error occurred in execvp\n"} on standard error and ends by SIGABRT; the call
 *       still returns its process ID.
 *   <li>A name without a slash is looked up on {@code PATH}. The name is never split or quoted:
 *       {@code "ls -l"} names a program whose name has a blank in it.
 *   <li>Strings reach the program as the VM's modified UTF-8: a character outside the Basic
 *       Multilingual Plane arrives as six bytes (two encoded surrogates), and the NUL character
 *       as the bytes C0 80.
 *   <li>Once the program has ended, the call takes back what the program took of the terminal,
 *       as a job-control shell does. The VM's terminal is the first of its standard input, output
 *       and error that is a terminal. When the VM's process group is its foreground as the call
 *       starts, the call notes the terminal's modes; afterwards it gives the foreground back to the
 *       VM from the program's own process group (an interactive shell takes one) or from a group
 *       with no process left, never from a live group of another (the user's shell, when the user
 *       stopped the VM and put it in the background), and puts the noted modes back if the program
 *       was killed by a signal (an editor killed in raw mode) and the VM has the foreground. A
 *       program that exits keeps the modes it set, as {@code stty} must. A VM in the background, or
 *       without a terminal, never touches it.
 *   <li>A program in a process group of its own that stops (an interactive shell's
 *       {@code suspend}) stops the VM with it, as a shell's job: the VM takes the terminal back and
 *       stops its own process group with the same signal; once the VM is continued, it hands the
 *       terminal to the program again and continues it.
 *   <li>While the programs of several calls overlap, none of them takes anything back: only the last
 *       to end does. The modes it puts back are those noted by the call that began while no other
 *       call's program ran, and only if any call of the overlap wanted them (its program killed by
 *       a signal, or {@link Terminal}'s editor or pager); modes seen while another's program ran
 *       are never put back. This record of the calls in flight is the only state the library keeps.
 *   <li>Each call waits for its own program only, so calls from several threads may overlap, and
 *       the VM's other children keep their exit statuses; programs running at once share the one
 *       terminal.
 * </ul>
 *
 * <p>What that means in practice:
 * <ul>
 *   <li>Descriptors the VM opened without close-on-exec, such as its jar files and listening
 *       sockets, are inherited. A program that leaves a background process behind keeps them open
 *       after the VM has exited, so a restarted server can then fail to bind its port. Where that
 *       matters, use {@link ProcessBuilder}, which passes only the standard streams.
 *   <li>The call holds its thread until the program ends: from a virtual thread, it pins the
 *       carrier thread for that long.
 *   <li>When standard error is a pipe that is full, the call waits for its reader before a failed
 *       program's message is written; when it is full and non-blocking, the message is lost.
 *   <li>An executable file that is not a program (a script without {@code #!}) is run by
 *       {@code /bin/sh}, as {@code execvp} does.
 *   <li>The result is the process ID, not the exit status: a program that must know whether the
 *       editor succeeded (vim's {@code :cq} exits non-zero) should run it with
 *       {@link Terminal#openEditor} or {@link Terminal#run} instead.
 *   <li>A host that put the terminal in raw mode (a line editor such as JLine) must restore it, and
 *       stop reading standard input, before the call: under a raw terminal {@code ed} hangs, and a
 *       reader thread steals the program's keystrokes.
 *   <li>jshell runs its code in another VM whose standard streams are pipes, not the terminal: try
 *       the library from a program of its own.
 *   <li>{@link NativeLibrary#loadedFrom} says which copy of the library a VM loaded. A copy
 *       extracted from the jar is deleted at once, so gdb finds no debug information for it: to
 *       debug, point {@code -Dcom.vok.library.path} at the installed file, whose debug file lies
 *       beside it.
 *   <li>From JDK 22 on, loading the library is a restricted operation. With
 *       {@code --illegal-native-access=deny} it fails unless this module (or {@code ALL-UNNAMED} on
 *       the class path) is named by {@code --enable-native-access}, and the error says so.
 * </ul>
 *
 * <p>The library is loaded when this class is first used, from the first of these places:
 * <ol>
 *   <li>the file named by the system property {@value LibraryLoader#PATH_PROPERTY}, when it is set
 *       (and then from nowhere else);
 *   <li>{@code libvokrane.so} in a directory of {@code java.library.path}
 *       (the first directory that holds one, as {@code System.loadLibrary("vokrane")} finds it);
 *   <li>the copy packed in this jar for the VM's platform, {@value LibraryLoader#RESOURCES} with
 *       {@code PLATFORM} one of {@value Platforms#PACKED}, extracted into a new
 *       directory that only its owner may enter, checked against the size and CRC-32 recorded when
 *       the jar was packed, loaded, and removed again at once.
 * </ol>
 * The property works on any Linux processor; the jar packs copies for those listed. When no place works, the first call throws an
 * {@link UnsatisfiedLinkError} that names every place tried and why it failed; later calls throw
 * {@link NoClassDefFoundError}, which the VM gives a cause that repeats it (JDK 17 and later).
 * {@link NativeLibrary} tells beforehand whether the library loads, the error when it does not, and
 * which file it came from.
 */
public final class LinuxNative {
    static {
        NativeLibrary.ensureAvailable();
        TerminalRun.moveIntoLibrary();
    }

    private LinuxNative() {}

    /**
     * Starts {@code program} with no arguments and waits for it to end.
     *
     * @param program the program's name, looked up on PATH when it has no slash
     * @return the program's process ID, or -1
     */
    public static native int shell(String program);

    /**
     * Starts {@code editor} with {@code file} as its one argument and waits for it to end.
     *
     * <p>Nothing is put before the file name: a name that begins with a dash reaches the editor as
     * an option. Callers passing names they do not control should prefix them with {@code ./}.
     *
     * @param editor the editor's name, looked up on PATH when it has no slash
     * @param file the file to edit, passed unchanged (an empty string stays an empty argument)
     * @return the editor's process ID, or -1
     */
    public static native int edit(String editor, String file);

    // The record of calls in flight for the calls that Terminal runs through ProcessBuilder, so
    // that calls on either path leave each other's programs alone (TerminalRun).
    static native void beginTerminalCall(boolean othersRunning);

    static native void endTerminalCall(long program, boolean modesWanted);

    // Loads the library and moves the VM's record into it, as any first use of this class does.
    static void initialize() {}
}
