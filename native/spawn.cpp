// The launcher: start the child in the vfork manner and exec in it, changing nothing it inherits.
//
// Why vfork and not fork: fork copies the page tables of the whole calling process, so a launch
// from a Java VM costs more the larger its heap (100 ms with 4 GiB touched), and under strict
// overcommit accounting fork can fail for memory the child would never use. A vfork child borrows
// the caller's memory until it execs, while the calling thread waits, so a launch costs the same
// whatever the size of the caller.
//
// The price is that, until the exec, the child runs on the caller's memory: its stack, its heap,
// its thread-local storage, the C library's state, and the state of every library loaded with it.
// The child's path therefore keeps these rules:
//   - It allocates nothing, takes no lock, uses no stdio and calls nothing of the VM: any of these
//     could leave the caller's state half-changed, or wait for a lock held by a thread that does
//     not exist in the child.
//   - It changes its signal state only through the kernel's own calls (rt_sigaction,
//     rt_sigprocmask, prlimit64 through syscall), never through a C library function: a library
//     that interposes sigaction, such as the JDK's signal-chaining library, would record the
//     child's changes in tables the caller shares, under the caller's locks.
//   - No signal handler of the caller runs in it: the caller blocks every signal around the vfork,
//     and the child sets each caught signal back to its default before it sets its mask. Exec
//     would reset them anyway; ignored signals stay ignored, as exec keeps them.
//   - Only execvp and write come from the C library: execvp searches PATH on the stack, and write
//     goes straight to descriptor 2. Not abort: it signals the thread ID that the C library caches
//     in the thread's memory, which under musl is the caller's thread, so the caller would die.
//   - It never returns from launch, whose stack frame is still the caller's.
#include "kernel.h"
#include "launch.h"
#include "vokrane.h"

#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using vokrane::KernelRlimit64;
using vokrane::KernelSigaction;
using vokrane::KernelSigset;
using vokrane::kBitsPerWord;
using vokrane::kKernelSignals;
using vokrane::kKernelSigsetSize;

// Sets `signal` to `handler` (SIG_DFL or SIG_IGN). Runs in the child: must not allocate or lock.
void setAction(int signal, void (*handler)(int)) {
    KernelSigaction action = {};
    action.handler = handler;
    syscall(SYS_rt_sigaction, signal, &action, nullptr, kKernelSigsetSize);
}

// Sets every caught signal back to its default, so no handler of the caller can run on the
// caller's memory in the child. Runs in the child: must not allocate or lock.
void resetCaughtSignals() {
    for (int signal = 1; signal <= kKernelSignals; ++signal) {
        KernelSigaction action;
        if (syscall(SYS_rt_sigaction, signal, nullptr, &action, kKernelSigsetSize) != 0) continue;
        if (action.handler != SIG_DFL && action.handler != SIG_IGN) setAction(signal, SIG_DFL);
    }
}

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

// The child's whole life between vfork and exec. Runs in the child: must not return, allocate
// or lock.
[[noreturn]] void execInChild(const char *program, char *const argv[], const sigset_t *mask) {
    resetCaughtSignals();
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, mask, nullptr, kKernelSigsetSize);
    execvp(program, argv);

    // A standard error whose reader has gone must not end the child by SIGPIPE before it aborts.
    setAction(SIGPIPE, SIG_IGN);
    const char message[] = "an error occurred in execvp\n";
    writeFully(STDERR_FILENO, message, sizeof message - 1);
    // The child's memory is the caller's: a core file would hold the whole caller, a VM's heap and
    // its secrets included. The limit is the child's own; the caller's stays as it was.
    const KernelRlimit64 noCore = {0, 0};
    syscall(SYS_prlimit64, 0, RLIMIT_CORE, &noCore, nullptr);
    // SIGABRT at its default and let through, sent by the kernel to the child's own thread as the
    // kernel knows it: the child ends on the way back from tgkill, having changed no memory.
    setAction(SIGABRT, SIG_DFL);
    KernelSigset abortOnly = {};
    abortOnly.words[(SIGABRT - 1) / kBitsPerWord] = 1UL << ((SIGABRT - 1) % kBitsPerWord);
    syscall(SYS_rt_sigprocmask, SIG_UNBLOCK, &abortOnly, nullptr, kKernelSigsetSize);
    syscall(SYS_tgkill, syscall(SYS_getpid), syscall(SYS_gettid), SIGABRT);
    for (;;) syscall(SYS_exit, 127);  // never reached: nothing can hold SIGABRT back now
}

}  // namespace

pid_t vokrane::launch(const char *program, char *const argv[], ChildSignalMask mask) {
    sigset_t everySignal, callerMask, emptyMask;
    sigfillset(&everySignal);
    sigemptyset(&emptyMask);
    sigprocmask(SIG_SETMASK, &everySignal, &callerMask);
    pid_t pid = vfork();
    if (pid == 0) execInChild(program, argv, mask == ChildSignalMask::Empty ? &emptyMask : &callerMask);
    int vforkError = errno;
    sigprocmask(SIG_SETMASK, &callerMask, nullptr);
    errno = vforkError;
    return pid;
}

extern "C" pid_t spawn(const char *program, char *const argv[]) {
    return vokrane::launch(program, argv, vokrane::ChildSignalMask::Callers);
}
