// Until it execs, the child runs on the caller's memory: no signal handler of the caller may run in
// it. A watcher signals every child of this process while a long PATH search holds the child
// between vfork and exec, and a seccomp filter raises a signal at the child's first change of its
// signal state; the caller's handler must only ever run in the caller.
#include <linux/seccomp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"
#include "vokrane.h"

namespace {

volatile sig_atomic_t handlerRanOutsideTheCaller = 0;
pid_t callerPid = 0;

void recordWhereItRan(int) {
    if (getpid() != callerPid) handlerRanOutsideTheCaller = 1;
}

// A PATH of many missing directories before the real ones: execvp tries each in turn.
std::string slowPath() {
    std::string path;
    for (int i = 0; i < 3000; ++i) path += "/nonexistent/vokrane/" + std::to_string(i) + ":";
    return path + "/usr/bin:/bin";
}

// Sends `signal` to every live child of the caller's thread, which launches; returns how many it
// reached. The thread's own list of children, not a scan of /proc: a scan takes longer than a
// child's whole PATH search under the sanitizers, and so never saw one.
int signalChildren(int signal) {
    int reached = 0;
    std::string children = readFile("/proc/self/task/" + std::to_string(callerPid) + "/children");
    for (const char *next = children.c_str(); *next != '\0';) {
        char *end;
        pid_t pid = static_cast<pid_t>(strtol(next, &end, 10));
        if (end == next) break;
        next = end;
        std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        size_t name = stat.rfind(')');
        if (name != std::string::npos && stat.size() > name + 2 && stat[name + 2] != 'Z' && kill(pid, signal) == 0) ++reached;
    }
    return reached;
}

// Caught signals of every kind are reset, the real-time ones too.
class SpawnSignals : public testing::TestWithParam<int> {};

TEST_P(SpawnSignals, CallersHandlerNeverRunsInTheChild) {
    const int signal = GetParam();
    callerPid = getpid();
    handlerRanOutsideTheCaller = 0;
    struct sigaction caught = {}, previous;
    caught.sa_handler = recordWhereItRan;
    sigaction(signal, &caught, &previous);
    ScopedEnv path("PATH", slowPath());

    std::atomic<bool> launching{true};
    std::atomic<int> signalsSent{0};
    std::thread watcher([&] {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, signal);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
        while (launching) signalsSent += signalChildren(signal);
    });
    int killedBySignal = 0;
    for (int i = 0; i < 20; ++i) {
        char *argv[] = {const_cast<char *>("true"), nullptr};
        int status = waitStatus(spawn("true", argv));
        if (WIFSIGNALED(status) && WTERMSIG(status) == signal) ++killedBySignal;
    }
    launching = false;
    watcher.join();
    sigaction(signal, &previous, nullptr);

    EXPECT_GT(signalsSent.load(), 0) << "the watcher never caught a child to signal";
    EXPECT_GT(killedBySignal, 0);
    EXPECT_EQ(handlerRanOutsideTheCaller, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpawnSignals, testing::Values(SIGUSR1, SIGRTMAX));

// The caller's signals stay blocked from before the vfork until the child has reset its handlers.
// The filter makes the kernel force SIGSYS on the child at its first change of a disposition; were
// SIGSYS not blocked then, the caller's handler for it would run in the child.
TEST(SpawnSignalsBlocked, NoHandlerRunsBeforeTheChildHasResetThem) {
    pid_t tester = fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        callerPid = getpid();
        struct sigaction caught = {};
        caught.sa_handler = recordWhereItRan;
        sigaction(SIGSYS, &caught, nullptr);
        if (!filterSystemCalls({__NR_rt_sigaction}, SECCOMP_RET_TRAP)) _exit(99);
        char *argv[] = {const_cast<char *>("true"), nullptr};
        waitStatus(spawn("true", argv));
        _exit(handlerRanOutsideTheCaller ? 1 : 0);
    }
    int status = waitStatus(tester);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << " (exit 1: it ran)";
}

}  // namespace
