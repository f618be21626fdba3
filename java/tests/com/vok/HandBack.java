// Run by the terminal tests on a real terminal: hands it to a program (and to a second one a second
// later, from another thread, when given) through LinuxNative.shell, or through Terminal.run or the
// editor's path for a program given as run:PATH or edit:PATH (after loading the library, for loaded:; with the library
// kept from loading, as on another system, for unloadable:), then says whether this VM has its foreground and holds
// SIGTTOU back, and reads a line, as a tool does after its editor.
package com.vok;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Map;

public final class HandBack {
    public static void main(String[] args) throws Exception {
        // loaded: has the library loaded after a first call (one kept in the VM where the library
        // does not load quietly), as by a tool that checks it late, so that every later call counts there.
        if (args[0].startsWith("loaded:")) {
            Terminal.run(new ProcessBuilder("true"));
            NativeLibrary.ensureAvailable();
            args[0] = args[0].substring("loaded:".length());
        }
        if (args[0].startsWith("unloadable:")) {
            System.setProperty(LibraryLoader.PATH_PROPERTY, "/nonexistent/libvokrane.so");
            args[0] = args[0].substring("unloadable:".length());
        }
        Thread second = new Thread(() -> System.out.println("second ended " + handOver(args[1], 1000)));
        if (args.length > 1) second.start();
        System.out.println("calling");
        System.out.println("ended " + handOver(args[0], 0));
        if (args.length > 1) second.join();
        // The fields after the command's name: state, ppid, pgrp, session, tty, foreground group.
        String[] stat = Files.readString(Path.of("/proc/self/stat")).replaceFirst("(?s).*\\) ", "").split(" ");
        System.out.println(stat[2].equals(stat[5]) ? "in the foreground" : "in the background");
        String blocked = Files.readString(Path.of("/proc/thread-self/status")).replaceFirst("(?s).*SigBlk:\\s*(\\w+).*", "$1");
        if ((Long.parseLong(blocked, 16) & 1L << 21) != 0) System.out.println("SIGTTOU stays blocked");
        System.out.println("read " + new BufferedReader(new InputStreamReader(System.in)).readLine());
    }

    // Whether the program ran: started, and a status (or a pid) came back.
    private static boolean handOver(String program, long after) {
        try {
            Thread.sleep(after);
            if (program.startsWith("run:")) return Terminal.run(new ProcessBuilder(program.substring(4)).inheritIO()) >= 0;
            if (program.startsWith("edit:")) return Editing.openEditor(Map.of("VISUAL", program.substring(5), "TERM", "xterm"), null, "x") >= 0;
            return LinuxNative.shell(program) > 0;
        } catch (IOException | InterruptedException e) {
            throw new IllegalStateException(e);
        }
    }
}
