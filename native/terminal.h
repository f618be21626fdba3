// Taking the VM's terminal back after a program, as a job-control shell does; internal to the library.
#ifndef VOKRANE_TERMINAL_H
#define VOKRANE_TERMINAL_H

#include <sys/types.h>
#include <termios.h>

namespace vokrane {

// One call's view of the VM's terminal, noted before its program starts. `fd` is -1 when there is
// nothing to take back: no terminal, or one whose foreground is not the VM's process group.
// `modesNoted` is false when another call's program was running as the modes were read: they may
// be that program's (raw), and are never put back.
struct TerminalCall {
    int fd;
    bool modesNoted;
    termios modes;
};

// Counts a call in and notes the terminal and its modes, before its program starts. The VM's
// terminal is the first of descriptors 0, 1 and 2 that is a terminal. Every call is ended by
// endTerminalCall, whether or not its program started.
__attribute__((visibility("hidden"))) TerminalCall beginTerminalCall();

// The call's program `program` was stopped by `signal`. When the program is in a process group of
// its own, the stop is passed on as a shell's job: the VM takes the terminal back, stops its own
// process group and itself, and once continued gives the terminal back and continues the program.
// A stop of the VM's own group reached the VM too and needs nothing.
__attribute__((visibility("hidden"))) void passStopOn(const TerminalCall &call, pid_t program, int signal);

// Counts the call out once its program `program` has ended with `status` (`program` is -1 when it
// did not start, or when the wait failed). The last call to end takes back what its program took:
// the foreground, from the program's own process group or from a group with no process left, and
// then, when the VM has the foreground and the program died by a signal, the modes. A program that
// exits keeps the modes it set, as `stty` must; a live group of another owner (the user's shell
// after the VM was put in the background, another job) keeps the foreground.
__attribute__((visibility("hidden"))) void endTerminalCall(const TerminalCall &call, pid_t program, int status);

// The same count for a call whose program the caller starts, waits for and takes the terminal back
// from by other means (the Java side's ProcessBuilder paths), so that calls on every path leave
// each other's programs alone. countCallIn, before the program starts, returns whether no other
// call was in flight: only then may modes noted now be put back. countProgramOut, once it has
// ended, returns whether no other call's program is running: only then may anything be taken back,
// and countCallOut counts the call out after that.
__attribute__((visibility("hidden"))) bool countCallIn();
__attribute__((visibility("hidden"))) bool countProgramOut();
__attribute__((visibility("hidden"))) void countCallOut();

}  // namespace vokrane

#endif
