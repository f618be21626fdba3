// The user's editor as git picks it and runs it: a program by its name, or a command through sh.
package com.vok;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;

final class UserEditor {
    // Characters after which git hands the value to sh instead of running it as a program's name.
    private static final String SHELL_SYNTAX = "|&;<>()$`\\\"' \t\n*?[#~=%";

    // Editors that hand the file to a window and return at once, unless given an option that makes
    // them wait, as each one's manual gives them (the one to suggest first); none for xdg-open,
    // which cannot wait. gvim and mvim also wait in a terminal (-v) and for a remote edit.
    private static final List<String> WAIT = List.of("--wait", "-w");
    private static final List<String> VIM_WAIT = List.of("-f", "--nofork", "-v", "--remote-wait", "--remote-wait-silent",
            "--remote-tab-wait", "--remote-tab-wait-silent");
    private static final Map<String, List<String>> WINDOW_EDITORS = Map.of("code", WAIT, "codium", WAIT, "subl", WAIT,
            "atom", WAIT, "mate", WAIT, "zed", WAIT, "gvim", VIM_WAIT, "mvim", VIM_WAIT,
            "open", List.of("-W", "--wait-apps"), "xdg-open", List.of());
    // Editors that wait for the window unless told not to.
    private static final Map<String, List<String>> NO_WAIT_OPTIONS = Map.of("emacsclient", List.of("-n", "--no-wait"));

    private final String variable;  // the tool's variable, VISUAL or EDITOR, or null for the default
    private final String source;    // where the value came from, for messages
    private final String value;

    private UserEditor(String variable, String source, String value) {
        this.variable = variable;
        this.source = source;
        this.value = value;
    }

    /**
     * git's choice, after the tool's own variable ({@code variable}, null for none) whatever
     * {@code TERM} is: {@code $VISUAL} unless {@code TERM} is unset or {@code dumb}, then
     * {@code $EDITOR}, then {@code vi}. An empty variable counts as unset.
     */
    static UserEditor of(Map<String, String> environment, String variable) {
        boolean dumb = TerminalFacts.isDumb(environment);
        List<String> variables = new ArrayList<>();
        if (variable != null) variables.add(variable);
        if (!dumb) variables.add("VISUAL");
        variables.add("EDITOR");
        for (String name : variables) {
            String value = environment.get(name);
            if (value != null && !value.isEmpty()) return new UserEditor(name, name + " is \"" + value + "\"", value);
        }
        String unset = dumb ? (variable == null ? "EDITOR is not set" : "neither " + variable + " nor EDITOR is set")
                + " (VISUAL counts only when TERM is set and not dumb)"
                : "neither " + (variable == null ? "" : variable + ", ") + "VISUAL nor EDITOR is set";
        return new UserEditor(null, unset + ", and the default is vi", "vi");
    }

    /** The user's shell: {@code $SHELL}, else {@code /bin/sh}. */
    static String userShell(Map<String, String> environment) {
        String shell = environment.get("SHELL");
        return shell == null || shell.isEmpty() ? "/bin/sh" : shell;
    }

    /**
     * The user's editor as a program's name alone: {@code $VISUAL}, then {@code $EDITOR}, else
     * {@code vi}, whatever {@code TERM} says; the first that is set must be a program.
     */
    static String programName(Map<String, String> environment) {
        for (String variable : new String[] {"VISUAL", "EDITOR"}) {
            String editor = environment.get(variable);
            if (editor == null || editor.isEmpty()) continue;
            String why = Executables.whyNotRunnable(editor, environment.get("PATH"));
            if (why == null) return editor;
            if (editor.matches("(?s).*\\s.*")) {
                throw new IllegalStateException(variable + " is \"" + editor + "\", a command with arguments;"
                        + " Terminal.openEditor runs it as git does, or set " + variable + " to the program itself");
            }
            throw new IllegalStateException(variable + " is \"" + editor + "\", which is " + why);
        }
        String why = Executables.whyNotRunnable("vi", environment.get("PATH"));
        if (why == null) return "vi";
        throw new IllegalStateException("neither VISUAL nor EDITOR is set, and vi is " + why);
    }

    /**
     * The command that runs the editor on {@code file}, which reaches it as one argument whatever it
     * holds: the value as a program's name when it is one, else {@code sh -c '<value> "$@"' <value> <file>}.
     */
    List<String> command(String file) {
        String name = asFileName(file);
        if (!hasShellSyntax(value)) return List.of(value, name);
        // The shell catches Ctrl-C and Ctrl-\ with a trap that does nothing, so that it ends as the
        // editor ends (ed handles Ctrl-C and goes on); a caught signal is at its default in the editor.
        return List.of("sh", "-c", "trap : INT QUIT; " + value + " \"$@\"", value, name);
    }

    /** The editor as the user set it, for messages. */
    String value() {
        return value;
    }

    /**
     * What to tell the user when the editor returned without having written the file, if it is a
     * window editor run without its wait flag: it may still show the file; null for any other.
     */
    String windowEditorAdvice() {
        List<String> words = List.of(value.strip().split("[ \t\n]+"));
        String program = words.get(0).substring(words.get(0).lastIndexOf('/') + 1);
        String where = variable == null ? "VISUAL" : variable;
        for (String option : NO_WAIT_OPTIONS.getOrDefault(program, List.of())) {
            if (!words.contains(option)) continue;
            List<String> waiting = new ArrayList<>(words);
            waiting.remove(option);
            return program + " " + option + " returns before its window closes: set " + where + "='"
                    + String.join(" ", waiting) + "' so that it waits";
        }
        List<String> waitOptions = WINDOW_EDITORS.get(program);
        if (waitOptions == null || words.stream().anyMatch(waitOptions::contains)) return null;
        if (waitOptions.isEmpty()) {
            return program + " hands the file to a window and cannot wait for it to close: set " + where
                    + " to an editor that waits";
        }
        return program + " returned before its window closed: set " + where + "='" + value.strip() + " "
                + waitOptions.get(0) + "' so that it waits";
    }

    /** git's editor that succeeds without touching the file: {@code :}. */
    boolean isNoOp() {
        return value.equals(":");
    }

    /**
     * {@code file} as a name no editor reads as an option or a command: a relative name that begins
     * with {@code -} or {@code +} (vim runs {@code +!cmd}) gets {@code ./} in front.
     */
    static String asFileName(String file) {
        return file.startsWith("-") || file.startsWith("+") ? "./" + file : file;
    }

    /**
     * Throws when the editor's program cannot be run with the environment's PATH, naming the variable
     * and its value. A command whose first word is more than a name is left for the shell to judge.
     */
    void check(Map<String, String> environment) {
        String why = whyCommandCannotRun(value, environment);
        if (why != null) throw new IllegalStateException(source + ": " + firstWord(value) + " is " + why);
    }

    /**
     * Why a command as git runs it cannot run in {@code environment}: why its first word is no
     * program, as the shell would find it ({@code ~/} being {@code $HOME}); null when it is one, or
     * when that word is more than a name or a path and the shell must judge.
     */
    static String whyCommandCannotRun(String command, Map<String, String> environment) {
        String program = firstWord(command);
        String home = environment.get("HOME");
        if (program.startsWith("~/") && home != null) program = home + program.substring(1);
        return hasShellSyntax(program) ? null : Executables.whyNotRunnable(program, environment.get("PATH"));
    }

    private static String firstWord(String command) {
        return command.strip().split("[ \t\n]+", 2)[0];
    }

    static boolean hasShellSyntax(String text) {
        for (int i = 0; i < text.length(); i++) {
            if (SHELL_SYNTAX.indexOf(text.charAt(i)) >= 0) return true;
        }
        return false;
    }
}
