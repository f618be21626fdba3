// Run by the pager tests: a tool that pages `lines N` numbered lines (stopping once the user quits),
// a text through Terminal.page, output nested in a second pager, or output left open at System.exit.
package com.vok;

public final class PageTool {
    public static void main(String[] args) throws Exception {
        String variable = "MYTOOL_PAGER";
        switch (args[0]) {
            case "lines":
                long written = 0;
                boolean paging;
                try (Pager pager = Terminal.pager(variable)) {
                    paging = pager.isPaging();
                    for (long n = Long.parseLong(args[1]); written < n && !pager.hasQuit(); written++) {
                        pager.out().println("line " + (written + 1));
                    }
                }
                System.err.println("paging " + paging + ", wrote " + written + " lines");
                break;
            case "text":
                Terminal.page("caf\u00e9 \u2603\nsecond line\n", variable);
                break;
            case "nested":
                try (Pager outer = Terminal.pager(variable)) {
                    outer.out().println("outer");
                    try (Pager inner = Terminal.pager(variable)) {
                        inner.out().println("inner " + inner.isPaging());
                    }
                    outer.out().println("outer again");
                }
                break;
            default:  // exit
                Terminal.pager(variable).out().println("left open");
                System.exit(0);
        }
    }
}
