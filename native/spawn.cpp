// The launcher: start the child in the vfork manner and exec in it, changing nothing it inherits.
//
// Why vfork and not fork: fork copies the page tables of the whole calling process, so a launch
// from a Java VM costs more the larger its heap (100 ms with 4 GiB touched), and under strict
// overcommit accounting fork can fail for memory the child would never use. A vfork child borrows
// the caller's memory until it execs, while the calling thread waits, so a launch costs the same
// whatever the size of the caller.
//
// The price is that, until the exec, the child runs on the caller's memory: its stack, its heap,
// its thread-local storage, the C library's state. The child's path therefore keeps these rules:
//   - It allocates nothing, takes no lock, uses no stdio and calls nothing of the VM: any of these
//     could leave the caller's state half-changed, or wait for a lock held by a thread that does
//     not exist in the child.
//   - No signal handler of the caller runs in it: the caller blocks every signal around the vfork,
//     and the child sets each caught signal back to its default before it restores the caller's
//     mask. Exec would reset them anyway; ignored signals stay ignored, as exec keeps them.
//   - It calls only async-signal-safe functions that change nothing shared: sigaction and
//     sigprocmask change the child's own signal state, execvp searches PATH on the stack, write
//     goes straight to descriptor 2, and abort ends the child.
//   - It never returns from spawn, whose stack frame is still the caller's.
#include "vokrane.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// Writes all of `size` bytes to `fd`, resuming after a partial write or an interruption.
// Runs in the child: must not allocate or lock.
void writeFully(int fd, const char *bytes, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

// Sets `signal` to its default action. Runs in the child: must not allocate or lock.
void setDefaultAction(int signal) {
    struct sigaction defaultAction = {};
    defaultAction.sa_handler = SIG_DFL;
    sigaction(signal, &defaultAction, nullptr);
}

// Sets every caught signal back to its default, so no handler of the caller can run on the
// caller's memory in the child. The C library refuses its own internal signals, which it never
// delivers to the child. Runs in the child: must not allocate or lock.
void resetCaughtSignals() {
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action;
        if (sigaction(signal, nullptr, &action) != 0) continue;
        if (action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN) setDefaultAction(signal);
    }
}

// The child's whole life between vfork and exec. Runs in the child: must not return, allocate
// or lock.
[[noreturn]] void execInChild(const char *program, char *const argv[], const sigset_t *callerMask) {
    resetCaughtSignals();
    sigprocmask(SIG_SETMASK, callerMask, nullptr);
    execvp(program, argv);
    const char message[] = "an error occurred in execvp\n";
    writeFully(STDERR_FILENO, message, sizeof message - 1);
    // With SIGABRT at its default, abort ends the child at its first raise, having left its own
    // lock and state as it found them; were SIGABRT ignored, abort would go on to change both in
    // the memory the child shares with the caller.
    setDefaultAction(SIGABRT);
    abort();
}

}  // namespace

extern "C" pid_t spawn(const char *program, char *const argv[]) {
    sigset_t everySignal, callerMask;
    sigfillset(&everySignal);
    sigprocmask(SIG_SETMASK, &everySignal, &callerMask);
    pid_t pid = vfork();
    if (pid == 0) execInChild(program, argv, &callerMask);
    int vforkError = errno;
    sigprocmask(SIG_SETMASK, &callerMask, nullptr);
    errno = vforkError;
    return pid;
}
