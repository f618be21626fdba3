// Whether libvokrane works in this VM, where it was loaded from, and the loader's error when it does not.
package com.vok;

/**
 * The state of libvokrane in this VM: asking never throws, and the loader's error is kept for
 * whoever wants it. A tool calls {@link #ensureAvailable} at start-up, to fail before it asks the
 * user anything, or checks {@link #isAvailable} and runs its programs through {@link ProcessBuilder}
 * where it is false (macOS, Windows, another processor).
 *
 * <p>The library is loaded the first time any method here, or of {@link LinuxNative} or
 * {@link Terminal}, needs it, from the places {@link LinuxNative} lists, and only once: every later
 * question gets the same answer.
 */
public final class NativeLibrary {
    private NativeLibrary() {}

    /**
     * Whether the library is loaded, loading it now if it is not yet. Never throws.
     *
     * @return true when {@link LinuxNative}'s methods can be called
     */
    public static boolean isAvailable() {
        return Load.ERROR == null;
    }

    /**
     * Loads the library now if it is not yet, or throws why it cannot be; calling it again gives the
     * same answer.
     *
     * @throws UnsatisfiedLinkError the loader's error, naming every place tried and why it failed
     */
    public static void ensureAvailable() {
        if (Load.ERROR != null) throw Load.ERROR;
    }

    /**
     * Where the library was loaded from, so that a user can check which copy runs: the file's path,
     * or, for the copy packed in the jar, that jar and the copy's name in it.
     *
     * @return the file, or the packed copy, the library was loaded from
     * @throws UnsatisfiedLinkError as {@link #ensureAvailable} does
     */
    public static String loadedFrom() {
        ensureAvailable();
        return Load.FROM;
    }

    /**
     * Whether loading the library gives no warning, so that {@link Terminal}'s own calls may load
     * it: on any JDK before 22, and from 22 on when native access is enabled for this module (or
     * for the class path, {@code ALL-UNNAMED}).
     */
    static boolean loadsQuietly() {
        return Quiet.LOADS;
    }

    /** Whether the library has been loaded already, asked without loading it. */
    static boolean isLoaded() {
        return loaded;
    }

    private static volatile boolean loaded;

    private static final class Quiet {
        static final boolean LOADS = loadsQuietly(NativeLibrary.class.getModule());

        // Module.isNativeAccessEnabled is JDK 22's; this jar is built for 17.
        private static boolean loadsQuietly(Module module) {
            if (Runtime.version().feature() < 22) return true;
            try {
                return (Boolean) Module.class.getMethod("isNativeAccessEnabled").invoke(module);
            } catch (ReflectiveOperationException | RuntimeException unknown) {
                return false;
            }
        }
    }

    // Loads the library once, when first asked; its initialisation never fails.
    private static final class Load {
        static final String FROM;
        static final UnsatisfiedLinkError ERROR;

        static {
            String from = null;
            UnsatisfiedLinkError error = null;
            try {
                from = LibraryLoader.load();
            } catch (UnsatisfiedLinkError e) {
                error = e;
            } catch (RuntimeException e) {
                error = new UnsatisfiedLinkError("could not load libvokrane.so: " + e);
                error.initCause(e);
            }
            FROM = from;
            ERROR = error;
            loaded = error == null;
        }
    }
}
