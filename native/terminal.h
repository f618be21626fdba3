// Taking the VM's terminal back after a program, as a job-control shell does; internal to the library.
#ifndef VOKRANE_TERMINAL_H
#define VOKRANE_TERMINAL_H

#include <sys/types.h>

namespace vokrane {

// A run is a stretch of overlapping calls: it begins with a call that starts while no other call's
// program runs, and ends with whichever of its calls ends last. The run's first call notes the
// terminal (the first of descriptors 0, 1 and 2 that is one, else the controlling terminal) and its
// modes, when the VM's process group has its foreground; the run's last call puts back what its
// programs took. Every call begun is ended by endTerminalCall, whether or not its program started.
//
// `othersRunning` is true when programs the library does not know of already run (the Java side's
// calls, counted in when the library takes over their count): the modes then may be theirs, and
// are never noted.
__attribute__((visibility("hidden"))) void beginTerminalCall(bool othersRunning);

// The call's program `program` was stopped by `signal`. When the program is in a process group of
// its own, the stop is passed on as a shell's job: the VM takes the terminal back, stops its own
// process group and itself, and once continued gives the terminal back and continues the program.
// A stop of the VM's own group reached the VM too and needs nothing.
__attribute__((visibility("hidden"))) void passStopOn(pid_t program, int signal);

// Counts the call out once its program `program` has ended (`program` is -1 when it did not
// start, or when the wait failed: it may still run, and nothing is taken back). `modesWanted` says
// whether this call needs the modes back: its program died by a signal, or it is an editor's or a
// pager's. The run's last call takes back the foreground, from its program's own process group or
// from a group with no process left, and then, when the VM has the foreground and any call of the
// run wanted them, the modes noted as the run began. A program that exits keeps the modes it set,
// as `stty` must; a live group of another owner (the user's shell after the VM was put in the
// background, another job) keeps the foreground.
__attribute__((visibility("hidden"))) void endTerminalCall(pid_t program, bool modesWanted);

}  // namespace vokrane

#endif
