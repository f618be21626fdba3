// Run by the terminal tests on a real terminal: hands it to a program, then says whether this VM has
// its foreground and reads a line, as a tool does after its editor.
package com.vok;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.file.Files;
import java.nio.file.Path;

public final class HandBack {
    public static void main(String[] args) throws Exception {
        System.out.println("ended " + (LinuxNative.shell(args[0]) > 0));
        // The fields after the command's name: state, ppid, pgrp, session, tty, foreground group.
        String[] stat = Files.readString(Path.of("/proc/self/stat")).replaceFirst("(?s).*\\) ", "").split(" ");
        System.out.println(stat[2].equals(stat[5]) ? "in the foreground" : "in the background");
        System.out.println("read " + new BufferedReader(new InputStreamReader(System.in)).readLine());
    }
}
