// Run by the pager tests: a tool that pages `lines N` numbered lines (stopping once the user quits),
// `slow` lines that go on without asking, a text through Terminal.page (from a shutdown hook with
// `hook`), output nested in a second pager, output left open at System.exit, two threads' pagers one
// after the other (`threads`) or System.exit while one closes (`exit-closing`), and a program run
// while a page is open with a pager opened meanwhile (`program`). The scripted pager appends what it
// does to ./events, which the threads wait for. `facts` prints what a tool decides its output by.
package com.vok;

import java.nio.file.Files;
import java.nio.file.Path;

public final class PageTool {
    private static final String VARIABLE = "MYTOOL_PAGER";

    public static void main(String[] args) throws Exception {
        switch (args[0]) {
            case "lines":
                long written = 0;
                boolean paging;
                try (Pager pager = Terminal.pager(VARIABLE)) {
                    paging = pager.isPaging();
                    for (long n = Long.parseLong(args[1]); written < n && !pager.hasQuit(); written++) {
                        pager.out().println("line " + (written + 1));
                    }
                }
                System.err.println("paging " + paging + ", wrote " + written + " lines");
                break;
            case "slow":
                try (Pager pager = Terminal.pager(VARIABLE)) {
                    for (int n = 1; n < 3_000; n++) {
                        pager.out().println("line " + n);
                        if (n > 50) {
                            pager.out().flush();
                            Thread.sleep(200);
                        }
                    }
                }
                break;
            case "text":
                Terminal.page("caf\u00e9 \u2603\nsecond line\n", VARIABLE);
                break;
            case "hook":
                Runtime.getRuntime().addShutdownHook(new Thread(() -> {
                    try {
                        Terminal.page("from the hook\n", VARIABLE);
                    } catch (Exception e) {
                        e.printStackTrace();
                    }
                }));
                break;
            case "nested":
                Pager inner;
                try (Pager outer = Terminal.pager(VARIABLE)) {
                    outer.out().println("outer");
                    inner = Terminal.pager(VARIABLE);
                    inner.out().println("inner " + inner.isPaging());
                    outer.out().println("outer again");
                }
                inner.out().println("inner after " + inner.isPaging());
                inner.close();
                break;
            case "threads":
            case "exit-closing":
                Thread second = new Thread(() -> {
                    try {
                        awaitEvent("eof");
                        if (args[0].equals("exit-closing")) System.exit(5);
                        Terminal.page("second\n", VARIABLE);
                    } catch (Exception e) {
                        e.printStackTrace();
                    }
                });
                second.start();
                Terminal.page("first\n", VARIABLE);
                second.join();
                break;
            case "program":
                Thread meanwhile = new Thread(() -> {
                    try {
                        awaitEvent("program");
                        try (Pager pager = Terminal.pager(VARIABLE)) {
                            pager.out().println("meanwhile paging " + pager.isPaging());
                        }
                        Files.createFile(Path.of("opened"));
                    } catch (Exception e) {
                        e.printStackTrace();
                    }
                });
                meanwhile.start();
                try (Pager pager = Terminal.pager(VARIABLE)) {
                    pager.out().println("paged");
                    Terminal.run(new ProcessBuilder("sh", "-c", "echo program >> events; until [ -e opened ]; do sleep 0.05; done")
                            .inheritIO());
                }
                meanwhile.join();
                break;
            case "facts":
                System.out.println("terminal " + Terminal.isTerminal(0) + " " + Terminal.isTerminal(1) + " " + Terminal.isTerminal(2)
                        + ", width " + Terminal.width() + ", colour " + Terminal.colorEnabled(1) + " " + Terminal.colorEnabled(2));
                break;
            default:  // exit
                Terminal.pager(VARIABLE).out().println("left open");
                System.exit(0);
        }
    }

    private static void awaitEvent(String event) throws Exception {
        while (!Files.exists(Path.of("events")) || !Files.readAllLines(Path.of("events")).contains(event)) Thread.sleep(20);
    }

    private PageTool() {}
}
