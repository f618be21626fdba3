// The round trip of the editor paths with /bin/true as the editor, beside a bare ProcessBuilder start and wait.
package com.vok.bench;

import com.vok.Terminal;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;

/** {@code EditBench ROUNDS}: prints, for each way, the median and 90th percentile of a call in µs. */
public final class EditBench {
    interface Way {
        void call() throws Exception;
    }

    public static void main(String[] args) throws Exception {
        int rounds = Integer.parseInt(args[0]);
        if (!"/bin/true".equals(System.getenv("VISUAL"))) throw new IllegalStateException("run with VISUAL=/bin/true");
        Path file = Files.createTempFile("vokrane-bench", ".txt");
        try {
            time("ProcessBuilder.inheritIO", rounds, () -> new ProcessBuilder("/bin/true").inheritIO().start().waitFor());
            time("Terminal.openEditor", rounds, () -> Terminal.openEditor(file.toString()));
            time("Terminal.editText", rounds, () -> Terminal.editText("a text\n", ".txt"));
        } finally {
            Files.delete(file);
        }
    }

    private static void time(String name, int rounds, Way way) throws Exception {
        for (int i = 0; i < 20; i++) way.call();  // warm up
        long[] micros = new long[rounds];
        for (int i = 0; i < rounds; i++) {
            long start = System.nanoTime();
            way.call();
            micros[i] = (System.nanoTime() - start) / 1000;
        }
        Arrays.sort(micros);
        System.out.println(name + " " + micros[rounds / 2] + " " + micros[rounds * 9 / 10]);
    }
}
