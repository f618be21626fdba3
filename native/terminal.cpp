// Taking the VM's terminal back after a program: only what the program took, and only when no other call's program has it.
//
// A program may leave the terminal unusable when it dies by a signal: an editor leaves it raw (no
// echo, no line editing, no Ctrl-C), and a job-control shell leaves the foreground to its own dead
// process group, so the VM's next read stops it with SIGTTIN. But the VM is not the terminal's only
// owner. The user's shell takes the foreground back when the VM is stopped and put in the
// background, and a program started by another call may be using the terminal right now: taking
// the foreground or putting modes back under either of them breaks it (a shell that reads EIO
// exits, an editor runs cooked).
#include "terminal.h"

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The only state the library keeps: how many calls are between noting the terminal and the end of
// their take-back, and how many of those have a program running. Static, so zero before any call
// and nothing to run at load or unload. Two counts, so that the one call that ends last is known
// to itself, and a call that begins while another is still taking back knows it is not alone.
// Changed only through the compiler's atomic built-ins, which need no header of the C++ library.
int callsInFlight;
int programsRunning;

// Adds `change` to `count` at once for every thread, and returns the count from before.
int addAtomically(int &count, int change) {
    return __atomic_fetch_add(&count, change, __ATOMIC_SEQ_CST);
}

// The VM's terminal calls run with SIGTTOU held back on the calling thread: in the background,
// tcsetpgrp and tcsetattr would stop the VM with it. sigprocmask, not pthread_sigmask, whose
// version as linked is newer than the library's baseline.
class HoldingStopOnWrite {
public:
    HoldingStopOnWrite() {
        sigset_t stopOnWrite;
        sigemptyset(&stopOnWrite);
        sigaddset(&stopOnWrite, SIGTTOU);
        sigprocmask(SIG_BLOCK, &stopOnWrite, &callerMask);
    }
    ~HoldingStopOnWrite() { sigprocmask(SIG_SETMASK, &callerMask, nullptr); }

private:
    sigset_t callerMask;
};

// Whether no process is left in `group`: its foreground then belongs to nobody.
bool isEmptyGroup(pid_t group) {
    return group == 0 || (kill(-group, 0) == -1 && errno == ESRCH);
}

// Gives the VM's group the foreground when `programGroup` holds it, or a group with nobody left.
// Returns whether the VM's group has the foreground afterwards.
bool reclaimForeground(int fd, pid_t programGroup) {
    pid_t holder = tcgetpgrp(fd);
    if (holder == getpgrp()) return true;
    if (holder == -1 || (holder != programGroup && !isEmptyGroup(holder))) return false;
    return tcsetpgrp(fd, getpgrp()) == 0;
}

// Stops the VM's whole process group with `signal`, as a shell's job stops, and returns once the
// VM has been continued. A stop sent to the process lets this thread run on for a moment (into the
// program's SIGCONT), so the thread stops itself too, with a stop raised while held back before the
// group's, and let through after it: whichever comes first stops it, and the continue discards
// what is still pending, so nothing stops the VM a second time. SIGSTOP cannot be held back; the
// thread holds SIGTSTP for it.
void stopAsAJob(int signal) {
    int own = signal == SIGSTOP ? SIGTSTP : signal;
    sigset_t stop, callerMask;
    sigemptyset(&stop);
    sigaddset(&stop, own);
    sigprocmask(SIG_BLOCK, &stop, &callerMask);
    raise(own);
    killpg(getpgrp(), signal);
    sigprocmask(SIG_SETMASK, &callerMask, nullptr);
}

}  // namespace

bool vokrane::countCallIn() {
    bool alone = addAtomically(callsInFlight, 1) == 0;
    addAtomically(programsRunning, 1);
    return alone;
}

bool vokrane::countProgramOut() {
    return addAtomically(programsRunning, -1) == 1;
}

void vokrane::countCallOut() {
    addAtomically(callsInFlight, -1);
}

vokrane::TerminalCall vokrane::beginTerminalCall() {
    TerminalCall call = {-1, countCallIn(), {}};
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (!isatty(fd)) continue;
        if (tcgetpgrp(fd) == getpgrp() && tcgetattr(fd, &call.modes) == 0) call.fd = fd;
        break;
    }
    return call;
}

void vokrane::passStopOn(const TerminalCall &call, pid_t program, int signal) {
    pid_t group = getpgid(program);
    if (group == -1 || group == getpgrp()) return;
    bool tookForeground = false;
    if (call.fd != -1 && __atomic_load_n(&programsRunning, __ATOMIC_SEQ_CST) == 1) {
        HoldingStopOnWrite held;
        tookForeground = tcgetpgrp(call.fd) == group && reclaimForeground(call.fd, group);
    }
    stopAsAJob(signal);
    if (tookForeground) {
        HoldingStopOnWrite held;
        if (tcgetpgrp(call.fd) == getpgrp()) tcsetpgrp(call.fd, group);
    }
    killpg(group, SIGCONT);
}

void vokrane::endTerminalCall(const TerminalCall &call, pid_t program, int status) {
    bool last = countProgramOut();
    if (last && call.fd != -1 && program != -1) {
        HoldingStopOnWrite held;
        bool inForeground = reclaimForeground(call.fd, program);
        // TCSANOW: waiting for the output to drain could wait for good on a terminal nobody reads.
        if (inForeground && call.modesNoted && WIFSIGNALED(status)) tcsetattr(call.fd, TCSANOW, &call.modes);
    }
    countCallOut();
}
