// Who the VM runs as, and whether someone else sits at its terminal: the facts that decide when another user could borrow its rights.
package com.vok;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.Map;

final class Users {
    static final int ROOT = 0;
    // The kernel's loginuid of a process no login has marked (a daemon's, or a container's).
    private static final String NO_LOGIN = "4294967295";

    private Users() {}

    /**
     * The VM's real and effective user IDs: from {@code /proc/self/status} where there is one, else
     * from {@code id}, as on macOS and the BSDs.
     *
     * @throws IOException when neither can tell
     */
    static int[] realAndEffective() throws IOException {
        try {
            String status = Files.readString(Path.of("/proc/self/status"));
            String[] uids = status.replaceFirst("(?s).*\nUid:\\s*(\\d+)\\s+(\\d+).*", "$1 $2").split(" ");
            return new int[] {Integer.parseInt(uids[0]), Integer.parseInt(uids[1])};
        } catch (IOException | RuntimeException noProc) {
            // One process for both.
        }
        try {
            Process id = new ProcessBuilder("sh", "-c", "id -ru && id -u").redirectError(ProcessBuilder.Redirect.DISCARD).start();
            String[] uids = new String(id.getInputStream().readAllBytes(), StandardCharsets.US_ASCII).strip().split("\\s+");
            if (TerminalFacts.waitFor(id) == 0 && uids.length == 2) return new int[] {Integer.parseInt(uids[0]), Integer.parseInt(uids[1])};
        } catch (IOException | RuntimeException e) {
            throw new IOException("cannot tell which user this VM runs as: " + e.getMessage(), e);
        }
        throw new IOException("cannot tell which user this VM runs as: neither /proc/self/status nor id answered");
    }

    /** The VM's effective user ID, which owns what it creates. */
    static int effective() throws IOException {
        return realAndEffective()[1];
    }

    /**
     * Why the person at the terminal on descriptor 1 may not be the user the VM runs as, or null
     * when every fact says it is the same user. Any one of these says "another": the terminal's
     * owner differs from the VM's effective user; the user who logged in (the kernel's loginuid,
     * when it records one) differs; {@code SUDO_UID} or {@code PKEXEC_UID} names another user while
     * the VM runs as root; the real user differs from the effective one. A fact that cannot be read
     * counts as "another"; a loginuid the kernel does not keep, or keeps unset, is no fact.
     */
    static String whyAnotherUser(Map<String, String> environment, TerminalFacts facts) {
        int real, effective;
        try {
            int[] uids = facts.realAndEffective();
            real = uids[0];
            effective = uids[1];
        } catch (IOException e) {
            return e.getMessage();
        }
        if (real != effective) return "the real user " + real + " is not the effective user " + effective;
        try {
            int owner = facts.ownerOfOutput();
            if (owner != effective) return "the terminal belongs to user " + owner + ", not to " + effective;
        } catch (IOException | RuntimeException e) {
            return "the terminal's owner cannot be read (" + e.getMessage() + ")";
        }
        try {
            String login = Files.readString(Path.of("/proc/self/loginuid")).strip();
            if (!login.equals(NO_LOGIN) && Integer.parseInt(login) != effective) return "user " + login + " logged in";
        } catch (NoSuchFileException noLoginRecord) {
            // No audit in this kernel, or no /proc: no fact.
        } catch (IOException | RuntimeException e) {
            return "the loginuid cannot be read (" + e.getMessage() + ")";
        }
        if (effective == ROOT) {
            for (String variable : new String[] {"SUDO_UID", "PKEXEC_UID"}) {
                String value = environment.get(variable);
                if (value != null && !value.equals(String.valueOf(ROOT))) return variable + " is " + value;
            }
        }
        return null;
    }
}
