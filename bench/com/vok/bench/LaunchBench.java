// Times one launch of /bin/true, waited for, four ways from one VM, interleaved in rounds.
package com.vok.bench;

import com.vok.LinuxNative;
import java.io.FileInputStream;
import java.lang.ref.Reference;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;

/**
 * {@code LaunchBench LABEL ROUNDS LAUNCHES_PER_ROUND HELD_FRACTION [DESCRIPTORS]} prints one line per
 * launch: method, label and microseconds, tab-separated. Before timing, it fills HELD_FRACTION of the
 * maximum heap with data it keeps alive to the end, so the heap is resident and stays so, and opens
 * DESCRIPTORS more descriptors (on /dev/null), kept open to the end.
 */
public final class LaunchBench {
    private static final String PROGRAM = "/bin/true";

    private static native int posixSpawnp(String program);

    private static native int forkExecvp(String program);

    private interface Launch {
        boolean run() throws Exception;
    }

    public static void main(String[] args) throws Exception {
        String heap = args[0];
        int rounds = Integer.parseInt(args[1]);
        int launchesPerRound = Integer.parseInt(args[2]);
        List<long[]> held = holdHeap(Double.parseDouble(args[3]));
        List<FileInputStream> open = new ArrayList<>();
        for (int i = 0; i < (args.length > 4 ? Integer.parseInt(args[4]) : 0); i++) open.add(new FileInputStream("/dev/null"));
        System.loadLibrary("vokrane_bench");

        Map<String, Launch> methods = new LinkedHashMap<>();
        methods.put("libvokrane", () -> LinuxNative.shell(PROGRAM) > 0);
        methods.put("ProcessBuilder", () -> new ProcessBuilder(PROGRAM).inheritIO().start().waitFor() == 0);
        methods.put("posix_spawnp", () -> posixSpawnp(PROGRAM) > 0);
        methods.put("fork+execvp", () -> forkExecvp(PROGRAM) > 0);

        List<String> order = new ArrayList<>(methods.keySet());
        Random shuffle = new Random(42);
        StringBuilder samples = new StringBuilder();
        for (int round = -1; round < rounds; round++) {  // round -1 warms up and is not kept
            Collections.shuffle(order, shuffle);
            for (String method : order) {
                for (int i = 0; i < launchesPerRound; i++) {
                    long start = System.nanoTime();
                    boolean launched = methods.get(method).run();
                    long micros = (System.nanoTime() - start) / 1000;
                    if (!launched) throw new IllegalStateException(method + " failed to launch " + PROGRAM);
                    if (round >= 0) samples.append(method).append('\t').append(heap).append('\t').append(micros).append('\n');
                }
            }
        }
        System.out.print(samples);
        Reference.reachabilityFence(held);
        Reference.reachabilityFence(open);
    }

    private static List<long[]> holdHeap(double fraction) {
        List<long[]> held = new ArrayList<>();
        long chunkBytes = 16L << 20;
        for (long bytes = 0; bytes + chunkBytes <= fraction * Runtime.getRuntime().maxMemory(); bytes += chunkBytes) {
            long[] chunk = new long[(int) (chunkBytes / Long.BYTES)];
            for (int i = 0; i < chunk.length; i += 512) chunk[i] = i;  // one write per 4 KiB page
            held.add(chunk);
        }
        return held;
    }
}
