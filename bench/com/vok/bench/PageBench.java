// Paging through Terminal.pager beside a bare ProcessBuilder pipe to the same program: throughput, and the time to the pager's first read.
package com.vok.bench;

import com.vok.Pager;
import com.vok.Terminal;
import java.io.OutputStream;
import java.util.Arrays;

/**
 * On a terminal, with {@code BENCH_PAGER} naming the pager as a shell command, each way in turn:
 * {@code PageBench throughput MEGABYTES ROUNDS} prints the median MB/s of MEGABYTES written in
 * 100-byte lines; {@code PageBench start ROUNDS} prints the median and 90th percentile in µs from
 * opening to the pager having read one byte and ended (with {@code head -c 1} as the pager). The
 * figures go to standard error: standard output is the terminal paged on.
 */
public final class PageBench {
    interface Way {
        long run() throws Exception;  // nanoseconds
    }

    public static void main(String[] args) throws Exception {
        String pager = System.getenv("BENCH_PAGER");
        if (args[0].equals("start")) {
            int rounds = Integer.parseInt(args[1]);
            Way throughPager = () -> {
                long start = System.nanoTime();
                try (Pager paging = Terminal.pager("BENCH_PAGER")) {
                    if (!paging.isPaging()) throw new IllegalStateException("not paging: run on a terminal");
                    paging.out().write('x');
                }
                return System.nanoTime() - start;
            };
            Way bareStart = () -> {
                long start = System.nanoTime();
                Process process = new ProcessBuilder("sh", "-c", pager).redirectOutput(ProcessBuilder.Redirect.INHERIT)
                        .redirectError(ProcessBuilder.Redirect.INHERIT).start();
                try (OutputStream in = process.getOutputStream()) {
                    in.write('x');
                }
                process.waitFor();
                return System.nanoTime() - start;
            };
            for (Way way : new Way[] {bareStart, throughPager}) {
                for (int i = 0; i < 20; i++) way.run();
                long[] nanos = times(way, rounds);
                System.err.print((way == bareStart ? "start " : " ") + nanos[rounds / 2] / 1000 + " " + nanos[rounds * 9 / 10] / 1000);
            }
            System.err.println();
            return;
        }
        long bytes = Long.parseLong(args[1]) * 1_000_000;
        int rounds = Integer.parseInt(args[2]);
        byte[] line = (String.join("", java.util.Collections.nCopies(99, "x")) + "\n").getBytes();
        Way throughPager = () -> {
            long start = System.nanoTime();
            try (Pager paging = Terminal.pager("BENCH_PAGER")) {
                if (!paging.isPaging()) throw new IllegalStateException("not paging: run on a terminal");
                for (long n = 0; n < bytes; n += line.length) paging.out().write(line);
            }
            return System.nanoTime() - start;
        };
        Way barePipe = () -> {
            long start = System.nanoTime();
            Process process = new ProcessBuilder("sh", "-c", pager).redirectOutput(ProcessBuilder.Redirect.INHERIT)
                    .redirectError(ProcessBuilder.Redirect.INHERIT).start();
            try (OutputStream in = process.getOutputStream()) {  // a BufferedOutputStream of 8 KiB, as the pager's
                for (long n = 0; n < bytes; n += line.length) in.write(line);
            }
            process.waitFor();
            return System.nanoTime() - start;
        };
        System.err.println("throughput " + megabytesPerSecond(bytes, median(barePipe, rounds)) + " "
                + megabytesPerSecond(bytes, median(throughPager, rounds)));
    }

    static long[] times(Way way, int rounds) throws Exception {
        long[] nanos = new long[rounds];
        for (int i = 0; i < rounds; i++) nanos[i] = way.run();
        Arrays.sort(nanos);
        return nanos;
    }

    private static long median(Way way, int rounds) throws Exception {
        way.run();  // warm up
        return times(way, rounds)[rounds / 2];
    }

    private static long megabytesPerSecond(long bytes, long nanos) {
        return bytes * 1000 / nanos;
    }
}
