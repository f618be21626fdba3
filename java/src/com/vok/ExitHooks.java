// The VM's way out: a hook added where the VM may already be on it.
package com.vok;

final class ExitHooks {
    private ExitHooks() {}

    /**
     * Runs {@code hook} on the VM's way out. Returns false when the VM is on it already (the caller
     * runs from a shutdown hook), where no hook can be added and the caller's own end must do its
     * work; the caller then asks again next time.
     */
    static boolean add(Runnable hook, String name) {
        try {
            Runtime.getRuntime().addShutdownHook(new Thread(hook, name));
            return true;
        } catch (IllegalStateException shuttingDown) {
            return false;
        }
    }
}
