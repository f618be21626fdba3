// The entry points wait for their own child, to its end: other children keep their statuses,
// signals do not cut the wait short, and the program's way of ending does not change the result.
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "scripted_vm.h"
#include "test_support.h"

namespace {

class BridgeWait : public testing::Test {
protected:
    // A program that runs for `seconds`, then ends as `ending` says, recording its pid first.
    std::string script(const char *seconds, const std::string &ending = "") {
        writeFile(dir_.file("program"),
                  std::string("#!/bin/sh\n") + "echo $$ > '" + dir_.file("pid") + "'\nsleep " + seconds +
                      "\n" + ending + "\n",
                  0755);
        return dir_.file("program");
    }
    pid_t recordedPid() { return std::stoi(readFile(dir_.file("pid"))); }
    jint shell(const std::string &program) {
        return Java_com_vok_LinuxNative_shell(vm_.env(), nullptr, vm_.string(program));
    }

    TempDir dir_;
    ScriptedVm vm_;
};

TEST_F(BridgeWait, AnotherChildEndingFirstKeepsItsStatus) {
    pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        usleep(50000);
        _exit(7);
    }
    jint pid = shell(script("0.4"));
    EXPECT_EQ(pid, recordedPid());
    int status = waitStatus(other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << "status " << status;
}

TEST_F(BridgeWait, ASignalDuringTheWaitDoesNotEndIt) {
    struct sigaction caught = {}, previous;
    caught.sa_handler = [](int) {};  // no SA_RESTART: the wait sees EINTR
    sigaction(SIGUSR1, &caught, &previous);
    pthread_t waiting = pthread_self(), signaller;
    pthread_create(&signaller, nullptr, [](void *target) -> void * {
        for (int i = 0; i < 5; ++i) {
            usleep(50000);
            pthread_kill(*static_cast<pthread_t *>(target), SIGUSR1);
        }
        return nullptr;
    }, &waiting);
    jint pid = shell(script("0.6"));
    pthread_join(signaller, nullptr);
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(pid, recordedPid());
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "the child was left unreaped";
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(BridgeWait, ProgramsEndingBadlyStillGiveTheirPid) {
    for (const char *ending : {"exit 3", "kill -KILL $$", "kill -SEGV $$"}) {
        jint pid = shell(script("0", ending));
        EXPECT_EQ(pid, recordedPid()) << ending;
    }
}

// With SIGCHLD ignored the kernel collects children itself: the wait lasts until the child has
// ended, then finds no child. That child has ended all the same, so the call gives its pid.
TEST_F(BridgeWait, AChildCollectedByTheKernelStillGivesItsPid) {
    struct sigaction ignored = {}, previous;
    ignored.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignored, &previous);
    jint pid = shell(script("0.2", "echo ended > '" + dir_.file("ended") + "'"));
    sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(pid, recordedPid());
    EXPECT_EQ(readFile(dir_.file("ended")), "ended\n") << "the call returned before the program ended";
}

}  // namespace
