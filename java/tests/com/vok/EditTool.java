// Run by the terminal tests: a tool that edits a text (`edit`), opens the editor on a file (`open FILE`) or runs a command (`run CMD`) as Terminal does.
package com.vok;

public final class EditTool {
    public static void main(String[] args) throws Exception {
        if (args[0].equals("run")) {
            System.out.println("status " + Terminal.run(new ProcessBuilder("sh", "-c", args[1]).inheritIO()));
            return;
        }
        if (args[0].equals("open")) {
            System.out.println("status " + Terminal.openEditor(args[1]));
            return;
        }
        try {
            System.out.println("got " + Terminal.editText("start\n", ".txt").map(text -> text.replace('\n', '|')).orElse("nothing"));
        } catch (EditorException e) {
            System.out.println("failed: " + e.getMessage());
        }
    }
}
