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
 * is started, and nothing else differs. That is learnt from {@code /proc}, or where there is none
 * (macOS, the BSDs) from one {@code sh}, which also tells the facts of secure mode.
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
 * <p>Secure mode. When the person at the terminal may not be the user the VM runs as (a tool run
 * with {@code sudo} or {@code pkexec}), the variables are ignored and the pager is {@code less}
 * alone, with {@code LESSSECURE=1}, so that nobody can run a shell from it with the VM's rights;
 * without {@code less}, nothing pages. Any one of these facts turns it on: the owner of the
 * terminal on descriptor 1 is not the VM's effective user; the user who logged in (Linux's
 * {@code /proc/self/loginuid}, where the kernel records one) is not; the VM runs as root with
 * {@code SUDO_UID} or {@code PKEXEC_UID} naming another user; the real user is not the effective
 * one. A fact that cannot be read turns it on too. A user's own tool on their own terminal is not
 * in secure mode: {@code $PAGER} is theirs to choose.
 *
 * <p>While it pages. What the tool writes reaches the pager as the bytes {@code System.out} would
 * have written ({@code stdout.encoding}, else the platform's charset), buffered: {@link #close}
 * and {@code out().flush()} send what is held. Ctrl-C goes to the pager (in {@code less} it stops a
 * search) and does not end the VM, under the guard {@link Terminal} keeps while its programs run.
 * When the user leaves the pager before the end ({@code q}), or the pager dies, writes are dropped
 * without an exception or a message, and {@link #hasQuit} turns true: a tool that checks it stops
 * within a few writes. Once the pager has ended, the terminal is taken back as {@link Terminal}'s
 * notes say, its modes put back however it ended, as after an editor. Only one pager runs at a
 * time: while one is open, {@link Terminal#pager} writes into it, and once that one has closed,
 * the inner one writes to standard output; while one is closing (the user is still reading),
 * {@link Terminal#pager} waits for the user to leave it. A program that any
 * other method of {@link Terminal} hands the terminal to first ends the page as {@link #close}
 * does, and a pager opened while such a program runs writes to standard output: never two of the
 * VM's programs read the terminal at once. Once the user has left the pager, the guard on Ctrl-C
 * lifts at the tool's next write, so that Ctrl-C ends a tool that does not check {@link #hasQuit}.
 *
 * <p>At the end. {@link #close} sends the rest and waits until the user has left the pager; should
 * the VM exit with a pager still open or closing ({@code System.exit} from any thread, the end of
 * {@code main} with the pager left open), it does the same on its way out, so that the shell's
 * prompt never lands in the page. A pager opened by a shutdown hook pages as any other.
 */
public final class Pager implements Closeable {
    // The pager started, from its start until its process has ended and its call is over, and the
    // number of programs that other calls have the terminal handed to; both guarded by Pager.class.
    private static Pager paging;
    private static int programsOnTerminal;
    private static boolean hooked;

    private final Process process;  // null when this writes to standard output or into another pager
    private final TerminalRun.Call call;
    private final PrintStream out;
    private final Pager into;
    private final PagerInput input;
    private volatile boolean closing;
    private volatile boolean ended;

    private Pager(Process process, TerminalRun.Call call, Charset charset, Pager into) {
        this.process = process;
        this.call = call;
        this.into = into;
        this.input = process == null ? null : new PagerInput(process, call);
        this.out = process == null ? System.out : new PrintStream(input, false, charset);
    }

    static Pager open(Map<String, String> environment, String variable) throws IOException {
        synchronized (Pager.class) {
            // A pager closing has its input shut, and waits for the user: a second one would share
            // the terminal with it.
            while (paging != null && paging.closing) awaitEnd(paging);
            if (paging != null) return new Pager(null, null, null, paging);
            TerminalFacts facts = programsOnTerminal > 0 || TerminalFacts.isDumb(environment) ? null : TerminalFacts.learn();
            ProcessBuilder builder = facts == null || !facts.onTerminal(1) ? null : UserPager.builder(environment, variable, facts);
            if (builder == null) return new Pager(null, null, null, null);
            System.out.flush();
            TerminalRun.Call call = TerminalRun.begin(facts, true);
            Process process;
            try {
                process = builder.start();
            } catch (IOException e) {
                call.end(-1, -1);
                throw e;
            }
            paging = new Pager(process, call, charset(), null);
            if (!hooked) hooked = ExitHooks.add(Pager::closeAtExit, "vokrane-pager");
            return paging;
        }
    }

    /**
     * Ends the page that is open, as {@link #close} does, before another call hands the terminal to
     * a program; until {@link #programEnded}, a pager opened writes to standard output.
     */
    static void endPageForProgram() throws IOException {
        for (;;) {
            Pager open;
            synchronized (Pager.class) {
                if (paging == null) {
                    programsOnTerminal++;
                    return;
                }
                open = paging;
            }
            open.close();
        }
    }

    /** The program of a call that {@link #endPageForProgram} let through has ended. */
    static synchronized void programEnded() {
        programsOnTerminal--;
    }

    /**
     * Where the tool writes its output.
     *
     * @return the pager's input, or {@code System.out} when nothing pages
     */
    public PrintStream out() {
        return into != null && !into.ended ? into.out : out;
    }

    /**
     * Whether a pager was started for this output (or the one it writes into, while that is open),
     * so that a tool can choose colours as git's {@code color.pager} does.
     *
     * @return true when the output goes to a pager
     */
    public boolean isPaging() {
        return process != null || (into != null && !into.ended);
    }

    /**
     * Whether the user has left the pager, or it has died, before the end of the output: the tool
     * should stop producing it. Always false when nothing pages.
     *
     * @return true once what is written is dropped
     */
    public boolean hasQuit() {
        if (into != null) return !into.ended && into.hasQuit();
        return process != null && input.isDropping();
    }

    /**
     * The end of the output: sends what is held and waits until the user has left the pager, whom
     * it leaves the terminal to as before. When nothing pages, it flushes {@code System.out} and
     * leaves it open; a pager opened inside another leaves that one open too. Calling it again, from
     * any thread, waits for the same end.
     *
     * @throws IOException when the terminal's modes cannot be put back ({@code stty} cannot be started, where the
     *     library does not load)
     */
    @Override
    public void close() throws IOException {
        out().flush();
        if (process == null) return;
        synchronized (Pager.class) {
            if (closing) {
                awaitEnd(this);
                return;
            }
            closing = true;
        }
        try {
            out.close();
            call.end(process.pid(), TerminalFacts.waitFor(process));
        } finally {
            synchronized (Pager.class) {
                ended = true;
                paging = null;
                Pager.class.notifyAll();
            }
        }
    }

    // Waits, holding Pager.class, until `pager` has ended; an interrupt meanwhile is kept for later.
    private static void awaitEnd(Pager pager) {
        boolean interrupted = false;
        while (!pager.ended) {
            try {
                Pager.class.wait();
            } catch (InterruptedException e) {
                interrupted = true;
            }
        }
        if (interrupted) Thread.currentThread().interrupt();
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
