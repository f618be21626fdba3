// The first launch of /bin/true from a fresh VM, one way per run; the caller times the whole VM.
package com.vok.bench;

import com.vok.LinuxNative;
import com.vok.Terminal;

/** {@code ColdStart WAY}: launches /bin/true once the way WAY names, or not at all for "none". */
public final class ColdStart {
    public static void main(String[] args) throws Exception {
        boolean launched;
        switch (args[0]) {
            case "none":
                return;
            case "ProcessBuilder":
                launched = new ProcessBuilder("/bin/true").inheritIO().start().waitFor() == 0;
                break;
            case "LinuxNative":
                launched = LinuxNative.shell("/bin/true") > 0;
                break;
            case "Terminal":
                launched = Terminal.shell("/bin/true") > 0;
                break;
            default:
                throw new IllegalArgumentException(args[0]);
        }
        if (!launched) throw new IllegalStateException(args[0] + " failed to launch /bin/true");
    }
}
