// Terminal's guard: SIGINT does nothing to the VM while a program runs, and the VM's handler comes back after.
package com.vok;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import sun.misc.Signal;
import sun.misc.SignalHandler;

/**
 * Holds SIGINT for the programs {@link Terminal} runs. A Ctrl-C typed while one runs reaches the VM
 * in two steps: one of its threads takes the signal from the kernel and counts it, and later the
 * VM's dispatch thread runs the Java handler in place by then, one signal at a time. Either step can
 * come after the program has ended, so the guard outlasts it: for {@link #HOLD_NANOS}, then until a
 * SIGURG of its own has been dispatched (HotSpot dispatches pending signals lowest number first, so
 * every SIGINT counted before it has reached the guard by then), but for {@link #MARKER_NANOS} at
 * most, in case the marker is held back (a VM started with SIGURG blocked) or queued behind a flood
 * of signals. Then it puts each handler it replaced back, unless the application replaced it in
 * turn.
 */
final class SigintGuard {
    private static final Signal INTERRUPT = new Signal("INT");
    private static final Signal MARKER = new Signal("URG");
    private static final SignalHandler NOTHING = new Ignore();

    static final long HOLD_NANOS = TimeUnit.MILLISECONDS.toNanos(200);
    static final long MARKER_NANOS = TimeUnit.MILLISECONDS.toNanos(500);

    private static final Object lock = new Object();  // guards the fields below
    private static SignalHandler vmHandler;            // SIGINT's handler before the guard; null when unguarded
    private static int callsRunning;
    private static long lastEnd;                       // System.nanoTime() when the last call ended
    private static Thread restorer;                    // waiting to put vmHandler back, if any

    private SigintGuard() {}

    /** Guards SIGINT, or counts one more call under the guard; false when the VM keeps SIGINT to itself. */
    static boolean enter() {
        synchronized (lock) {
            if (vmHandler == null) {
                try {
                    vmHandler = Signal.handle(INTERRUPT, NOTHING);
                } catch (IllegalArgumentException reservedByTheVm) {
                    return false;
                }
            }
            callsRunning++;
            return true;
        }
    }

    /** Ends a call that {@link #enter} guarded; the last to end leaves lifting the guard to a thread of its own. */
    static void leave() {
        synchronized (lock) {
            callsRunning--;
            lastEnd = System.nanoTime();
            if (callsRunning > 0 || restorer != null) return;
            restorer = new Thread(new Restorer(), "vokrane SIGINT guard");
            restorer.setDaemon(true);
            restorer.start();
        }
    }

    // Lifts the guard once no program has run for HOLD_NANOS and the SIGINTs counted by then have
    // been dispatched. A call that starts meanwhile keeps the guard, and its end starts another
    // restorer; one that comes and goes meanwhile is waited for too.
    private static final class Restorer implements Runnable {
        @Override
        public void run() {
            for (;;) {
                long lastEndCovered;
                synchronized (lock) {
                    long left;
                    while (callsRunning == 0 && (left = lastEnd + HOLD_NANOS - System.nanoTime()) > 0) {
                        waitUninterruptibly(left);
                    }
                    if (callsRunning > 0) {
                        restorer = null;
                        return;
                    }
                    lastEndCovered = lastEnd;
                }
                awaitSignalsCountedSoFar(lastEndCovered + HOLD_NANOS + MARKER_NANOS);
                synchronized (lock) {
                    if (callsRunning == 0 && lastEnd == lastEndCovered) {
                        putBack(INTERRUPT, NOTHING, vmHandler);
                        vmHandler = null;
                    }
                    if (vmHandler == null || callsRunning > 0) {
                        restorer = null;
                        return;
                    }
                }
            }
        }

        private static void waitUninterruptibly(long nanos) {
            try {
                TimeUnit.NANOSECONDS.timedWait(lock, nanos);
            } catch (InterruptedException nobodyInterruptsThisThread) {
                // the loop waits again for whatever is left
            }
        }
    }

    // Returns once the VM has dispatched every signal it counted before this call, or at
    // `deadline` (System.nanoTime()), which is MARKER_NANOS after the hold of the last end covered:
    // so a call that came and went during an earlier wait is still covered within that bound. A
    // SIGURG raised on this thread is counted at once, unless this thread blocks it, and HotSpot
    // dispatches it only when no SIGINT is pending.
    private static void awaitSignalsCountedSoFar(long deadline) {
        CountDownLatch dispatched = new CountDownLatch(1);
        SignalHandler marker = new CountDown(dispatched);
        SignalHandler previous = null;  // stays null when the VM keeps SIGURG, and the time alone counts
        try {
            previous = Signal.handle(MARKER, marker);
            Signal.raise(MARKER);
        } catch (IllegalArgumentException reservedByTheVm) {
            // wait out the time
        }
        for (long left; (left = deadline - System.nanoTime()) > 0;) {
            try {
                if (dispatched.await(left, TimeUnit.NANOSECONDS)) break;
            } catch (InterruptedException nobodyInterruptsTheRestorer) {
                // wait on for whatever is left
            }
        }
        if (previous != null) putBack(MARKER, marker, previous);
    }

    // Puts `handler` back for `signal` in place of `ours`; a handler installed in place of ours
    // meanwhile is the application's, and stays.
    private static void putBack(Signal signal, SignalHandler ours, SignalHandler handler) {
        SignalHandler current = Signal.handle(signal, handler);
        if (current != ours) Signal.handle(signal, current);
    }

    // The handlers are classes rather than lambdas: a first lambda costs a fresh VM milliseconds.
    private static final class Ignore implements SignalHandler {
        @Override
        public void handle(Signal signal) {}
    }

    private static final class CountDown implements SignalHandler {
        private final CountDownLatch latch;

        CountDown(CountDownLatch latch) {
            this.latch = latch;
        }

        @Override
        public void handle(Signal signal) {
            latch.countDown();
        }
    }
}
