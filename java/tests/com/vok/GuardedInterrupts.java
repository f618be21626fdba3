// Run by the tests in a VM of its own session: guarded calls, from several threads, of a program
// that sends SIGINT to its whole process group as Ctrl-C does; then, half a second after the last
// call, a SIGINT from outside, which must shut the VM down as if Terminal had never been used.
package com.vok;

import java.util.concurrent.atomic.AtomicInteger;

public final class GuardedInterrupts {
    public static void main(String[] args) throws Exception {
        String program = args[0];
        int threads = Integer.parseInt(args[1]);
        int callsPerThread = Integer.parseInt(args[2]);
        AtomicInteger failed = new AtomicInteger();
        Thread[] callers = new Thread[threads];
        for (int i = 0; i < threads; i++) {
            callers[i] = new Thread(() -> {
                for (int call = 0; call < callsPerThread; call++) {
                    if (Terminal.shell(program) <= 0) failed.incrementAndGet();
                }
            });
            callers[i].start();
        }
        for (Thread caller : callers) caller.join();
        System.out.println("calls " + threads * callsPerThread + ", failed " + failed);
        Thread.sleep(500);
        new ProcessBuilder("kill", "-INT", String.valueOf(ProcessHandle.current().pid())).start().waitFor();
        Thread.sleep(10_000);
        System.out.println("still running 10 s after a SIGINT");
    }
}
