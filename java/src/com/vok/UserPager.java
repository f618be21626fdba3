// The user's pager as git picks it and runs it, or none: which program, through sh or not, and with what environment.
package com.vok;

import java.util.List;
import java.util.Map;

final class UserPager {
    private UserPager() {}

    /**
     * The pager for a tool whose own variable is {@code variable} (null for none), ready to start
     * with its input a pipe and its output and error the VM's; null for no pager. A pager named by a
     * variable that cannot be started is told on standard error, naming the command and the variable.
     * {@code facts} are the VM's terminal, for who sits at it.
     */
    static ProcessBuilder builder(Map<String, String> environment, String variable, TerminalFacts facts) {
        String path = environment.get("PATH");
        ProcessBuilder builder;
        if (Users.whyAnotherUser(environment, facts) != null) {
            // Whoever is at the terminal may not be who the VM runs as (sudo): a pager's shell escape
            // (!sh in less) would be theirs with the VM's rights. Only less, which can turn those off.
            if (Executables.whyNotRunnable("less", path) != null) return null;
            builder = new ProcessBuilder("less");
            builder.environment().put("LESSSECURE", "1");
        } else {
            String value = null;
            String from = null;
            for (String name : variable == null ? List.of("PAGER") : List.of(variable, "PAGER")) {
                value = environment.get(name);
                from = name;
                if (value != null) break;
            }
            if (value == null) {
                value = Executables.whyNotRunnable("less", path) == null ? "less"
                        : Executables.whyNotRunnable("more", path) == null ? "more" : null;
            }
            if (value == null || value.isBlank() || value.strip().equals("cat")) return null;
            // A value with blanks or shell syntax runs through sh, as git runs it; its first word,
            // when it is a plain name, must be a program all the same, or its output would be lost.
            String why = UserEditor.whyCommandCannotRun(value, environment);
            if (why != null) {
                System.err.println("vokrane: not paging: the pager \"" + value + "\" from " + from + " is " + why);
                return null;
            }
            builder = new ProcessBuilder(UserEditor.hasShellSyntax(value) ? List.of("sh", "-c", value) : List.of(value));
        }
        // As git and gh set them: F quits at once on one screen, R shows colours, X leaves the text.
        builder.environment().putIfAbsent("LESS", "FRX");
        builder.environment().putIfAbsent("LV", "-c");
        return builder.redirectOutput(ProcessBuilder.Redirect.INHERIT).redirectError(ProcessBuilder.Redirect.INHERIT);
    }
}
