// Run by the terminal tests on a real terminal: hands it to a program (and to a second one at once,
// from another thread, when given), then says whether this VM has its foreground and holds SIGTTOU
// back, and reads a line, as a tool does after its editor.
package com.vok;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.file.Files;
import java.nio.file.Path;

public final class HandBack {
    public static void main(String[] args) throws Exception {
        Thread second = new Thread(() -> System.out.println("second ended " + (LinuxNative.shell(args[1]) > 0)));
        if (args.length > 1) second.start();
        System.out.println("calling");
        System.out.println("ended " + (LinuxNative.shell(args[0]) > 0));
        if (args.length > 1) second.join();
        // The fields after the command's name: state, ppid, pgrp, session, tty, foreground group.
        String[] stat = Files.readString(Path.of("/proc/self/stat")).replaceFirst("(?s).*\\) ", "").split(" ");
        System.out.println(stat[2].equals(stat[5]) ? "in the foreground" : "in the background");
        String blocked = Files.readString(Path.of("/proc/thread-self/status")).replaceFirst("(?s).*SigBlk:\\s*(\\w+).*", "$1");
        if ((Long.parseLong(blocked, 16) & 1L << 21) != 0) System.out.println("SIGTTOU stays blocked");
        System.out.println("read " + new BufferedReader(new InputStreamReader(System.in)).readLine());
    }
}
