// The package's notes: what Terminal's SIGINT guard does around every call, in detail.
/**
 * Hands the VM's terminal to another program and takes it back: {@link com.vok.LinuxNative} through
 * the library, {@link com.vok.Terminal} for command-line tools.
 *
 * <h2>When the SIGINT guard lifts</h2>
 *
 * <p>A Ctrl-C reaches the VM's Java handler a little after the kernel has delivered it, so the guard stays for 200 ms after the last program has ended, then until every
 * SIGINT taken by then has reached it (the guard briefly handles SIGURG to learn that), and never
 * longer than 0.7 s after that end in all: a Ctrl-C typed a second after a call reaches the VM's
 * handler as usual, one typed within 200 ms is swallowed. Even Ctrl-C held down at the keyboard's
 * repeat rate is handled long before the guard lifts; only a flood of SIGINTs sent by a program, or
 * a VM kept off the processors for half a second, can outlast it. A thread of its own does the
 * waiting, so no call waits for it.
 *
 * <h2>An application's own handlers</h2>
 *
 * <p>A SIGINT or SIGURG handler that the application installs while the guard is on stays
 * installed when it lifts. {@code Signal.handle} then returns the
 * guard's handler, which does nothing: never install that one again after the call, or Ctrl-C will
 * do nothing for good; to keep the VM's handler, install yours before the call. A native SIGURG
 * handler installed with {@code sigaction} comes back with the VM's flags, not its own (so
 * {@code SA_ONSTACK}, as the Go runtime sets it, is lost); those installed through the VM come back
 * as they were.
 */
package com.vok;
