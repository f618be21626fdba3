// A pager's input, where a write after the pager has gone is dropped rather than failing.
package com.vok;

import java.io.IOException;
import java.io.OutputStream;

final class PagerInput extends OutputStream {
    private final OutputStream pipe;
    private volatile boolean dropping;

    PagerInput(OutputStream pipe) {
        this.pipe = pipe;
    }

    /** Whether the pager has gone (the user left it, or it died), so that writes are dropped. */
    boolean isDropping() {
        return dropping;
    }

    @Override
    public void write(int b) {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public void write(byte[] bytes, int offset, int length) {
        if (dropping) return;
        try {
            pipe.write(bytes, offset, length);
        } catch (IOException gone) {
            dropping = true;
        }
    }

    @Override
    public void flush() {
        if (dropping) return;
        try {
            pipe.flush();
        } catch (IOException gone) {
            dropping = true;
        }
    }

    @Override
    public void close() {
        flush();
        try {
            pipe.close();
        } catch (IOException gone) {
            dropping = true;
        }
    }
}
