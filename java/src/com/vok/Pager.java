// A tool's long output through the user's pager when it goes to a terminal, and plainly when it does not.
package com.vok;

import java.io.Closeable;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.Charset;
import java.util.Map;

/**
 * Where a command-line tool writes long output: the user's pager, as {@code git log} pages, when
 * the output goes to a terminal, and standard output as it is when it does not. Opened with
 * {@link Terminal#pager}; the tool writes to {@link #out()} and closes it at the end.
 *
 * <pre>{@code
 * try (Pager pager = Terminal.pager("MYTOOL_PAGER")) {
 *     for (Commit commit : log) {
 *         pager.out().println(commit);
 *         if (pager.hasQuit()) break;
 *     }
 * }
 * }</pre>
 *
 * <p>When it pages. Only when the VM's standard output (descriptor 1) is its terminal and
 * {@code TERM} is set and not {@code dumb}; otherwise {@link #out()} is {@code System.out}, nothing
 * is started, and nothing else differs.
 *
 * <p>Which pager. The first that is set of the tool's own variable and {@code $PAGER}; else
 * {@code less}, else {@code more}, whichever is on {@code PATH}; none means no pager, and so does a
 * value that is empty or {@code cat}. A plain program's name runs as that program; a value with
 * blanks or other shell syntax ({@code less -S}, {@code sh -c '...'}) through {@code sh -c}, as git
 * runs it. Its environment is the VM's, with {@code LESS=FRX} and {@code LV=-c} where they are not
 * set: {@code less} quits at once when the text fits on one screen, shows colours, and leaves the
 * text on the screen. Its input is a pipe from the VM; its output and error are the VM's. A pager
 * whose program cannot be found is not started: the output goes to standard output, and one line
 * on standard error names the command and the variable it came from.
 *
 * <p>Secure mode. When the VM's effective user is not the owner of the terminal on descriptor 1
 * (a tool run with {@code sudo}), the variables are ignored and the pager is {@code less} alone,
 * with {@code LESSSECURE=1}, so that the user cannot run a shell from it with the VM's rights;
 * without {@code less}, nothing pages.
 *
 * <p>While it pages. What the tool writes reaches the pager as the bytes {@code System.out} would
 * have written ({@code stdout.encoding}, else the platform's charset), buffered: {@link #close}
 * and {@code out().flush()} send what is held. Ctrl-C goes to the pager (in {@code less} it stops a
 * search) and does not end the VM, under the guard {@link Terminal} keeps while its programs run.
 * When the user leaves the pager before the end ({@code q}), or the pager dies, writes are dropped
 * without an exception or a message, and {@link #hasQuit} turns true: a tool that checks it stops
 * within a few writes. A pager killed by a signal has the terminal's modes put back, as an editor
 * has. Only one pager runs at a time: while one is open, {@link Terminal#pager} writes into it.
 *
 * <p>At the end. {@link #close} sends the rest and waits until the user has left the pager; should
 * the VM exit with a pager still open ({@code System.exit}, the end of {@code main} with the pager
 * left open), it does the same on its way out, so that the shell's prompt never lands in the page.
 */
public final class Pager implements Closeable {
    private static Pager paging;  // the pager started and still open; guarded by Pager.class
    private static boolean hooked;

    private final Process process;  // null when this writes to standard output or into another pager
    private final TerminalCalls.Call call;
    private final PrintStream out;
    private final Pager into;
    private final PagerInput input;
    private boolean closed;

    private Pager(Process process, TerminalCalls.Call call, Charset charset, Pager into) {
        this.process = process;
        this.call = call;
        this.into = into;
        this.input = process == null ? null : new PagerInput(process.getOutputStream());
        this.out = process == null ? (into == null ? System.out : into.out) : new PrintStream(input, false, charset);
    }

    static Pager open(Map<String, String> environment, String variable) throws IOException {
        synchronized (Pager.class) {
            if (paging != null) return new Pager(null, null, null, paging);
            ProcessBuilder builder = TerminalModes.isDumb(environment) || !TerminalModes.descriptorsOnTheTerminal()[1]
                    ? null : UserPager.builder(environment, variable);
            if (builder == null) return new Pager(null, null, null, null);
            System.out.flush();
            TerminalCalls.Call call = TerminalCalls.begin(true);
            Process process;
            try {
                process = builder.start();
            } catch (IOException e) {
                call.end(-1, false);
                throw e;
            }
            paging = new Pager(process, call, charset(), null);
            if (!hooked) Runtime.getRuntime().addShutdownHook(new Thread(Pager::closeAtExit, "vokrane-pager"));
            hooked = true;
            return paging;
        }
    }

    /**
     * Where the tool writes its output.
     *
     * @return the pager's input, or {@code System.out} when nothing pages
     */
    public PrintStream out() {
        return out;
    }

    /**
     * Whether a pager was started for this output (or the one it writes into), so that a tool can
     * choose colours as git's {@code color.pager} does.
     *
     * @return true when the output goes to a pager
     */
    public boolean isPaging() {
        return process != null || (into != null && into.isPaging());
    }

    /**
     * Whether the user has left the pager, or it has died, before the end of the output: the tool
     * should stop producing it. Always false when nothing pages.
     *
     * @return true once what is written is dropped
     */
    public boolean hasQuit() {
        return into != null ? into.hasQuit() : process != null && (input.isDropping() || !process.isAlive());
    }

    /**
     * The end of the output: sends what is held and waits until the user has left the pager, whom
     * it leaves the terminal to as before. When nothing pages, it flushes {@code System.out} and
     * leaves it open; a pager opened inside another leaves that one open too. Calling it again does
     * nothing.
     *
     * @throws IOException when the terminal's modes cannot be put back after a pager killed by a signal
     */
    @Override
    public void close() throws IOException {
        out.flush();
        if (process == null) return;
        synchronized (Pager.class) {
            if (closed) return;
            closed = true;
            paging = null;
        }
        out.close();
        call.end(TerminalModes.waitFor(process), false);
    }

    private static void closeAtExit() {
        Pager open;
        synchronized (Pager.class) {
            open = paging;
        }
        try {
            if (open != null) open.close();
        } catch (IOException e) {
            // Nothing more can be done on the way out.
        }
    }

    // The charset System.out writes in.
    private static Charset charset() {
        for (String property : new String[] {"stdout.encoding", "sun.stdout.encoding"}) {
            String name = System.getProperty(property);
            if (name != null && Charset.isSupported(name)) return Charset.forName(name);
        }
        return Charset.defaultCharset();
    }
}
