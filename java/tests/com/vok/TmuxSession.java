// A real terminal for the tests: a detached tmux server of their own, typed into and read back.
package com.vok;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.time.Instant;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

final class TmuxSession implements AutoCloseable {
    // The server's socket, in a directory of its own that goes with it.
    private final Path socketDirectory = Files.createTempDirectory("vokrane-tmux-");
    private final String socket = socketDirectory.resolve("socket").toString();

    /** Starts an interactive {@code sh} in {@code dir} on a new terminal, with {@code environment} added. */
    TmuxSession(Path dir, Map<String, String> environment) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of("new-session", "-d", "-x", "120", "-y", "40", "-c", dir.toString()));
        environment.forEach((name, value) -> command.addAll(List.of("-e", name + "=" + value)));
        command.add("sh");
        tmux(command.toArray(String[]::new));
        // Typed before the prompt, a command's echo would share the prompt's line.
        await("^[#$] $");
    }

    /** Types {@code text} as it stands. */
    void type(String text) throws IOException, InterruptedException {
        tmux("send-keys", "-l", text);
    }

    /** Types {@code text} as it stands, then Enter. */
    void typeLine(String text) throws IOException, InterruptedException {
        type(text);
        press("Enter");
    }

    /** Presses one named key, such as Enter, Escape or C-c. */
    void press(String key) throws IOException, InterruptedException {
        tmux("send-keys", key);
    }

    /** Clears the screen and its history, and waits for the prompt on the empty screen. */
    void clear() throws IOException, InterruptedException {
        typeLine("clear");
        await("\\A[#$] \\s*\\z");
    }

    /**
     * Presses {@code key} until the screen shows {@code pattern}, waiting a while after each press:
     * for a key a program may drop while it is busy (less repainting after Ctrl-C), or that works
     * only once a program has seen something else first.
     */
    Matcher pressUntil(String key, String pattern) throws IOException, InterruptedException {
        Pattern wanted = Pattern.compile(pattern, Pattern.MULTILINE);
        for (int press = 0; press < 60; press++) {
            press(key);
            for (int look = 0; look < 20; look++) {
                Matcher match = wanted.matcher(screen());
                if (match.find()) return match;
                Thread.sleep(50);
            }
        }
        throw new AssertionError("pressing " + key + " never showed /" + pattern + "/:\n" + screen());
    }

    String paneTty() throws IOException, InterruptedException {
        return tmux("display-message", "-p", "#{pane_tty}").strip();
    }

    /** Waits until the screen shows {@code pattern} and returns the match. */
    Matcher await(String pattern) throws IOException, InterruptedException {
        Pattern wanted = Pattern.compile(pattern, Pattern.MULTILINE);
        Instant deadline = Instant.now().plus(Duration.ofSeconds(30));
        String screen = "";
        while (Instant.now().isBefore(deadline)) {
            screen = screen();
            Matcher match = wanted.matcher(screen);
            if (match.find()) return match;
            Thread.sleep(50);
        }
        throw new AssertionError("the screen never showed /" + pattern + "/:\n" + screen);
    }

    /** The screen and what scrolled off it, lately. */
    String screen() throws IOException, InterruptedException {
        return tmux("capture-pane", "-p", "-J", "-S", "-100");
    }

    private String tmux(String... args) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of("tmux", "-S", socket, "-f", "/dev/null"));
        command.addAll(List.of(args));
        Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
        String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        if (process.waitFor() != 0) throw new IOException(command + " failed: " + output);
        return output;
    }

    @Override
    public void close() throws IOException {
        try {
            tmux("kill-server");
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        } finally {
            Files.deleteIfExists(Path.of(socket));
            Files.delete(socketDirectory);
        }
    }
}
