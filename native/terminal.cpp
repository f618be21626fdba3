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
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The only state the library keeps: the record of the run of calls in flight. Static, so zeroed
// before any call and nothing to run at load or unload. Changed only under its lock, taken with the
// compiler's atomic built-ins (no header of the C++ library), and held for a few system calls at
// most: never while a program runs or the VM is stopped.
struct Run {
    int lock;
    int programs;     // calls between their begin and their end
    int fd;           // the terminal to take back, or -1: none, or the VM was not in its foreground
    bool fdOpened;    // fd is the run's own descriptor of the controlling terminal, closed at its end
    bool modesNoted;
    bool modesWanted;
    termios modes;
} run;

class HoldingTheRun {
public:
    HoldingTheRun() {
        while (__atomic_exchange_n(&run.lock, 1, __ATOMIC_ACQUIRE) != 0) sched_yield();
    }
    ~HoldingTheRun() { __atomic_store_n(&run.lock, 0, __ATOMIC_RELEASE); }
};

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

// Notes into the run the VM's terminal, when the VM has its foreground: the first standard
// descriptor that is a terminal, else the controlling terminal itself (an editor given it while the
// VM's streams are pipes), opened close-on-exec so that no program inherits it.
void noteTerminal(bool othersRunning) {
    run.fd = -1;
    run.fdOpened = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO && run.fd == -1; ++fd) {
        if (isatty(fd)) run.fd = fd;
    }
    if (run.fd == -1) {
        run.fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        run.fdOpened = run.fd != -1;
    }
    if (run.fd != -1 && tcgetpgrp(run.fd) != getpgrp()) {
        if (run.fdOpened) close(run.fd);
        run.fd = -1;
    }
    run.modesNoted = run.fd != -1 && !othersRunning && tcgetattr(run.fd, &run.modes) == 0;
    run.modesWanted = false;
}

}  // namespace

void vokrane::beginTerminalCall(bool othersRunning) {
    HoldingTheRun held;
    if (run.programs++ == 0) noteTerminal(othersRunning);
}

void vokrane::passStopOn(pid_t program, int signal) {
    pid_t group = getpgid(program);
    if (group == -1 || group == getpgrp()) return;
    int fd;
    bool alone;
    {
        HoldingTheRun held;
        fd = run.fd;
        alone = run.programs == 1;
    }
    bool tookForeground = false;
    if (fd != -1 && alone) {
        HoldingStopOnWrite held;
        tookForeground = tcgetpgrp(fd) == group && reclaimForeground(fd, group);
    }
    stopAsAJob(signal);
    if (tookForeground) {
        HoldingStopOnWrite held;
        if (tcgetpgrp(fd) == getpgrp()) tcsetpgrp(fd, group);
    }
    killpg(group, SIGCONT);
}

void vokrane::endTerminalCall(pid_t program, bool modesWanted) {
    HoldingTheRun held;
    run.modesWanted = run.modesWanted || modesWanted;
    if (--run.programs != 0 || run.fd == -1) return;
    if (program != -1) {
        HoldingStopOnWrite stopHeld;
        bool inForeground = reclaimForeground(run.fd, program);
        // TCSANOW: waiting for the output to drain could wait for good on a terminal nobody reads.
        if (inForeground && run.modesNoted && run.modesWanted) tcsetattr(run.fd, TCSANOW, &run.modes);
    }
    if (run.fdOpened) close(run.fd);
    run.fd = -1;
}
