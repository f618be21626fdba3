// The Java face of libvokrane: run a program on this VM's terminal and wait for it to end.
package com.vok;

/**
 * Runs a program as a child of this VM on the VM's own terminal, and waits for it to end.
 *
 * <p>The program inherits the VM's standard input, output and error, its environment, working
 * directory and every descriptor not marked close-on-exec, with nothing changed on the way, so an
 * interactive program (a shell, an editor) uses the terminal the VM runs on. For the user's own
 * shell or editor, with Ctrl-C kept from ending the VM, see {@link Terminal}.
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
 *   <li>Calls must not overlap: a program started by one call shares the terminal with any other.
 * </ul>
 *
 * <p>The library is loaded when this class is first used, from the first of these places:
 * <ol>
 *   <li>the file named by the system property {@value LibraryLoader#PATH_PROPERTY}, when it is set
 *       (and then from nowhere else);
 *   <li>{@code libvokrane.so} in a directory of {@code java.library.path}
 *       ({@code System.loadLibrary("vokrane")});
 *   <li>the copy packed in this jar under {@value LibraryLoader#RESOURCE}, extracted into a new
 *       directory that only its owner may enter, loaded, and removed again at once.
 * </ol>
 * Only Linux on x86-64 is supported. When no place works, the {@link UnsatisfiedLinkError} names
 * every place tried and why it failed.
 */
public final class LinuxNative {
    static {
        LibraryLoader.load();
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
}
