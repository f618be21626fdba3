// Run by the tests in a VM of its own session: guarded calls, in one of four patterns, of a program
// that sends SIGINT to its whole process group as Ctrl-C does; then a SIGINT 50 ms after the last
// call, which the guard must swallow, and one a second after it, which must shut the VM down as if
// Terminal had never been used. The VM has SIGURG handled as an application would, which must stay.
package com.vok;

import java.util.concurrent.atomic.AtomicInteger;
import sun.misc.Signal;
import sun.misc.SignalHandler;

public final class GuardedInterrupts {
    private static final Signal INTERRUPT = new Signal("INT");
    private static final Signal URGENT = new Signal("URG");
    private static final SignalHandler APPLICATION_URG = signal -> {};
    private static final AtomicInteger calls = new AtomicInteger();
    private static final AtomicInteger failed = new AtomicInteger();

    public static void main(String[] args) throws Exception {
        String pattern = args[0], program = args[1];
        Signal.handle(URGENT, pattern.equals("late") ? signal -> {} : APPLICATION_URG);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hooks ran")));
        if (pattern.equals("threads")) {
            callsFromThreads(program, Integer.parseInt(args[2]), Integer.parseInt(args[3]));
        } else if (pattern.equals("late")) {
            // Run with SIGURG blocked, so that the guard waits the longest for its marker: a call
            // starts during that wait, and its SIGINT comes after the guard would have lifted.
            // The application replaces its SIGURG handler meanwhile, while the guard handles SIGURG.
            count(Terminal.shell("true") > 0);
            Thread.sleep(300);
            Signal.handle(URGENT, APPLICATION_URG);
            count(Terminal.run(new ProcessBuilder(program)) == 128 + 2);  // its own SIGINT ended it
        } else if (pattern.equals("nested")) {
            // A call comes and goes while a longer one runs, whose SIGINT comes after the guard
            // would have lifted had the short call's end counted as the last.
            Thread slow = new Thread(() -> count(Terminal.shell(program) > 0));
            slow.start();
            Thread.sleep(100);
            count(Terminal.shell("true") > 0);
            slow.join();
        } else if (pattern.equals("hold")) {
            // A call that ends during the marker wait gets a hold of its own: a SIGINT 150 ms after
            // it is swallowed, though it comes after the first call's guard would have lifted.
            count(Terminal.shell("true") > 0);
            Thread.sleep(450);
            count(Terminal.edit("sleep", "0.1") > 0);
            Thread.sleep(150);
            Signal.raise(INTERRUPT);
        } else if (pattern.equals("prompt")) {
            // Once the marker is through, the guard lifts: a SIGINT 450 ms after the call ends the VM.
            count(Terminal.shell("true") > 0);
            Thread.sleep(450);
            Signal.raise(INTERRUPT);
            Thread.sleep(3_000);
            System.out.println("still running 3 s after a SIGINT");
        } else {
            // The application installs its own SIGINT handler while a call runs: it stays.
            Thread call = new Thread(() -> count(Terminal.edit("sleep", "0.3") > 0));
            call.start();
            Thread.sleep(150);
            AtomicInteger handled = new AtomicInteger();
            Signal.handle(INTERRUPT, signal -> {
                System.out.println("the application's SIGINT handler ran");
                if (handled.incrementAndGet() == 2) System.exit(3);
            });
            call.join();
        }
        System.out.println("calls " + calls + ", failed " + failed);
        Thread.sleep(50);
        Signal.raise(INTERRUPT);
        Thread.sleep(950);
        System.out.println("SIGURG handler " + (Signal.handle(URGENT, APPLICATION_URG) == APPLICATION_URG ? "kept" : "lost"));
        new ProcessBuilder("kill", "-INT", String.valueOf(ProcessHandle.current().pid())).start().waitFor();
        Thread.sleep(3_000);
        System.out.println("still running 3 s after a SIGINT");
    }

    private static void callsFromThreads(String program, int threads, int callsPerThread) throws Exception {
        Thread[] callers = new Thread[threads];
        for (int i = 0; i < threads; i++) {
            callers[i] = new Thread(() -> {
                for (int call = 0; call < callsPerThread; call++) count(Terminal.shell(program) > 0);
            });
            callers[i].start();
        }
        for (Thread caller : callers) caller.join();
    }

    private static void count(boolean ok) {
        calls.incrementAndGet();
        if (!ok) failed.incrementAndGet();
    }
}
