// A pager's input, where a write after the pager has gone is dropped rather than failing.
package com.vok;

import java.io.IOException;
import java.io.OutputStream;

final class PagerInput extends OutputStream {
    private final Process pager;
    private final TerminalRun.Call call;
    private final OutputStream pipe;
    private volatile boolean dropping;

    PagerInput(Process pager, TerminalRun.Call call) {
        this.pager = pager;
        this.call = call;
        this.pipe = pager.getOutputStream();
    }

    /**
     * Whether the pager has gone (the user left it, or it died), so that writes are dropped. Once
     * it has, Ctrl-C is the tool's again: the pager that it was kept for has ended.
     */
    boolean isDropping() {
        if (!dropping && !pager.isAlive()) drop();
        return dropping;
    }

    private void drop() {
        dropping = true;
        call.releaseGuard();
    }

    @Override
    public void write(int b) {
        write(new byte[] {(byte) b}, 0, 1);
    }

    // The pipe buffers what fits: a pager that has gone is seen at the next write, not only when
    // a full buffer fails.
    @Override
    public void write(byte[] bytes, int offset, int length) {
        if (isDropping()) return;
        try {
            pipe.write(bytes, offset, length);
        } catch (IOException gone) {
            drop();
        }
    }

    @Override
    public void flush() {
        if (isDropping()) return;
        try {
            pipe.flush();
        } catch (IOException gone) {
            drop();
        }
    }

    @Override
    public void close() {
        flush();
        try {
            pipe.close();
        } catch (IOException gone) {
            drop();
        }
    }
}
