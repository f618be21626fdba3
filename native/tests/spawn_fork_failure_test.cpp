// No child can be created: spawn gives -1 with errno, writes nothing and leaves no child; the bridge
// then returns -1 at once instead of waiting for some other child. A wait that truly fails gives -1.
//
// The failures are real: a forked tester installs a seccomp filter that makes the system calls
// fail, every process-creating one with EAGAIN, as the kernel does at the process limit.
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/seccomp.h>

#include <gtest/gtest.h>

#include "scripted_vm.h"
#include "test_support.h"
#include "vokrane.h"

#ifndef __NR_clone3
#define __NR_clone3 435
#endif

namespace {

// Every system call that makes a process; aarch64 has only clone and clone3.
const std::initializer_list<long> kProcessCreation = {
    __NR_clone, __NR_clone3,
#ifdef __NR_vfork
    __NR_fork, __NR_vfork,
#endif
};

// What the tester saw, sent back to the test through a pipe.
struct Outcome {
    int result = 0;
    int error = 0;
    int waitResult = 0;       // waitpid(-1, WNOHANG) afterwards: -1 when no child exists
    int waitError = 0;
    size_t unreleased = 0;      // for the bridge: strings not given back to the VM
    bool maskRestored = false;  // the calling thread's signal mask is as it was before
    bool siblingAlive = false;  // for the bridge: the other child was not waited for
};

// Runs `attempt` in a forked tester in which `calls` fail with `error`, with a sleeping sibling child
// already there when `withSibling`, and returns what it saw. `attempt` fills in result, error and
// unreleased.
template <typename Attempt>
Outcome runWithFailing(std::initializer_list<long> calls, int error, bool withSibling, Attempt attempt) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t tester = fork();
    if (tester == 0) {
        close(fds[0]);
        pid_t sibling = withSibling ? fork() : 0;
        if (withSibling && sibling == 0) {
            sleep(5);
            _exit(0);
        }
        if (!filterSystemCalls(calls, SECCOMP_RET_ERRNO | error)) _exit(99);
        Outcome outcome;
        sigset_t before, after;
        pthread_sigmask(SIG_SETMASK, nullptr, &before);
        attempt(outcome);
        pthread_sigmask(SIG_SETMASK, nullptr, &after);
        outcome.maskRestored = true;
        for (int signal = 1; signal < NSIG; ++signal) {
            outcome.maskRestored &= sigismember(&before, signal) == sigismember(&after, signal);
        }
        if (withSibling) {
            outcome.siblingAlive = waitpid(sibling, nullptr, WNOHANG) == 0;
            kill(sibling, SIGKILL);
            waitpid(sibling, nullptr, 0);
        }
        outcome.waitResult = waitpid(-1, nullptr, WNOHANG);
        outcome.waitError = errno;
        _exit(write(fds[1], &outcome, sizeof outcome) == sizeof outcome ? 0 : 98);
    }
    close(fds[1]);
    Outcome outcome;
    EXPECT_EQ(read(fds[0], &outcome, sizeof outcome), static_cast<ssize_t>(sizeof outcome));
    close(fds[0]);
    int status = waitStatus(tester);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "tester status " << status;
    return outcome;
}

TEST(SpawnForkFailure, ReturnsMinusOneWithErrnoWritesNothingLeavesNoChild) {
    CapturedStderr err;
    Outcome outcome = runWithFailing(kProcessCreation, EAGAIN, false, [](Outcome &seen) {
        char *argv[] = {const_cast<char *>("true"), nullptr};
        errno = 0;
        seen.result = spawn("true", argv);
        seen.error = errno;
    });
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.error, EAGAIN);
    EXPECT_EQ(outcome.waitResult, -1);
    EXPECT_EQ(outcome.waitError, ECHILD);
    EXPECT_TRUE(outcome.maskRestored);
    EXPECT_EQ(err.text(), "");
}

TEST(BridgeForkFailure, ReturnsAtOnceWithoutWaitingForAnotherChild) {
    Outcome outcome = runWithFailing(kProcessCreation, EAGAIN, true, [](Outcome &seen) {
        ScriptedVm vm(ScriptedVm::Chars::Copy);
        seen.result = Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string("true"), vm.string("f"));
        seen.unreleased = vm.unreleased();
    });
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.unreleased, 0u);
    EXPECT_TRUE(outcome.siblingAlive);
}

// Only a child that has ended can be missing from a wait for it; any other failure of the wait
// leaves the call without a child it knows to have ended.
TEST(BridgeWaitFailure, AWaitFailingForAnotherReasonGivesMinusOne) {
    Outcome outcome = runWithFailing({__NR_wait4}, EINVAL, false, [](Outcome &seen) {
        ScriptedVm vm;
        seen.result = Java_com_vok_LinuxNative_shell(vm.env(), nullptr, vm.string("true"));
    });
    EXPECT_EQ(outcome.result, -1);
}

}  // namespace
