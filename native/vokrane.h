/* libvokrane's launcher: start a program as a child that inherits everything of the caller. */
#ifndef VOKRANE_H
#define VOKRANE_H

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Starts `program` as a child of the calling process with the argument list `argv` and returns the
 * child's process ID as soon as the program is loaded (or has failed to load), without waiting for
 * it to end. The cost does not grow with the caller's memory: the child borrows it until the exec.
 * Meanwhile the calling thread waits, with every signal held back; they arrive when spawn returns.
 *
 * The program is looked up on PATH when its name has no slash and is used as a path otherwise
 * (execvp's rules, so an executable file that is not a program is run by /bin/sh). The name is
 * never split, quoted or expanded: "ls -l" names a file with a blank in it. `argv` reaches the
 * program unchanged; by convention argv[0] is `program` itself.
 *
 * The child inherits, unchanged, everything a process keeps across exec: every descriptor not marked
 * close-on-exec, the environment, the working directory, the umask, the calling thread's signal mask,
 * ignored signals (caught ones are at their default, as after any exec), resource limits, process
 * group, session and controlling terminal. Before the exec it changes its signal state only through
 * the kernel's own calls, never through C library functions that another library could interpose,
 * so a signal-chaining library loaded in the caller sees no change.
 *
 * Returns the child's process ID (> 0), or -1 with errno set when no child could be created; then
 * nothing was written and no child exists. 0 is never returned.
 *
 * When the program cannot be loaded (missing, not executable, an empty name), the child writes
 * exactly the 28 bytes "an error occurred in execvp\n" to descriptor 2 and ends by SIGABRT, never by
 * SIGPIPE and without a core file (its memory is the caller's); the caller learns of it only from
 * the child's termination status. spawn returns only once the message is written: when descriptor 2
 * is a full pipe, it waits for the reader; when it is full and non-blocking, the message is lost.
 *
 * spawn leaves the terminal to the caller: a program that dies by a signal can leave its modes
 * changed (raw, no echo), a job-control shell can leave the foreground to its own process group,
 * and a program in a group of its own that stops itself waits for somebody to continue it. A caller
 * on a terminal does what a shell does (the Java entry points do so around their wait, and keep the
 * library's only state for it: the record of their run of calls in flight, so that only the last to
 * end takes anything back).
 *
 * The caller's obligations:
 * - `program` and every entry of `argv` are NUL-terminated; `argv` ends with a null pointer; all of
 *   them stay valid until spawn returns.
 * - Collect the child with waitpid(pid, ...), or it stays a zombie: spawn never collects it.
 * - Mark close-on-exec every descriptor the program must not get.
 *
 * spawn keeps no state, allocates nothing and takes no lock: any thread may call it, several at once.
 */
pid_t spawn(const char *program, char *const argv[]);

#ifdef __cplusplus
}
#endif

#endif
