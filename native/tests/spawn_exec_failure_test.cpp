// A program that cannot be loaded: the caller still gets a process ID, the child writes exactly the
// message to descriptor 2 and dies by SIGABRT, even where stdio could not be used in the child.
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test_support.h"
#include "vokrane.h"

namespace {

// Waits up to ten seconds for `pid`; a child that has not ended by then is killed and reported hung.
int waitStatusOrKill(pid_t pid) {
    for (int tries = 0; tries < 1000; ++tries) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitStatus(pid);
    return -1;
}

void expectExecFailure(const std::string &program) {
    CapturedStderr err;
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};
    pid_t pid = spawn(program.c_str(), argv);
    ASSERT_GT(pid, 0);
    int status = waitStatusOrKill(pid);
    ASSERT_NE(status, -1) << "the child hung instead of ending";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "status " << status;
    EXPECT_EQ(err.text(), kExecFailureMessage);
}

class SpawnExecFailure : public testing::TestWithParam<std::string> {};

TEST_P(SpawnExecFailure, WritesTheMessageOnceAndAborts) { expectExecFailure(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Names, SpawnExecFailure,
                         testing::Values("vokrane-no-such-program", "", "sh -c", "/bin/sh -c",
                                         "/nonexistent/dir/program", "/"));

TEST(SpawnExecFailureFile, FileWithoutExecutePermission) {
    TempDir dir;
    writeFile(dir.file("script"), "#!/bin/sh\nexit 0\n", 0644);
    expectExecFailure(dir.file("script"));
}

// Another thread may own stderr's lock while a child is being started; a child that wrote through
// the stream could wait for that lock forever.
TEST(SpawnExecFailureStdio, ChildTakesNoStdioLock) {
    pthread_mutex_t held = PTHREAD_MUTEX_INITIALIZER, release = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&held);
    pthread_mutex_lock(&release);
    struct Locks {
        pthread_mutex_t *held, *release;
    } locks = {&held, &release};
    pthread_t holder;
    pthread_create(&holder, nullptr, [](void *arg) -> void * {
        auto *l = static_cast<Locks *>(arg);
        flockfile(stderr);
        pthread_mutex_unlock(l->held);
        pthread_mutex_lock(l->release);
        funlockfile(stderr);
        return nullptr;
    }, &locks);
    pthread_mutex_lock(&held);  // the other thread now owns stderr's lock
    expectExecFailure("vokrane-no-such-program");
    pthread_mutex_unlock(&release);
    pthread_join(holder, nullptr);
}

// A fully buffered stderr keeps what is written through it until a flush, which abort never does.
TEST(SpawnExecFailureStdio, MessageReachesABufferedStderr) {
    CapturedStderr err;
    pid_t tester = fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        setvbuf(stderr, nullptr, _IOFBF, BUFSIZ);
        fputs("unflushed", stderr);
        char *argv[] = {const_cast<char *>("vokrane-no-such-program"), nullptr};
        pid_t pid = spawn(argv[0], argv);
        int status = pid > 0 ? waitStatus(pid) : 0;
        _exit(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT ? 0 : 1);
    }
    EXPECT_EQ(waitStatus(tester), 0);
    EXPECT_EQ(err.text(), kExecFailureMessage);
}

}  // namespace
