// A program that cannot be loaded: the caller still gets a process ID, the child writes exactly the
// message to descriptor 2 and dies by SIGABRT, even where stdio could not be used in the child.
#include <dirent.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test_support.h"
#include "vokrane.h"

namespace {

// Waits up to ten seconds for `pid`; one that has not ended by then is killed, with its process
// group when it leads one, and reported hung as -1.
int waitStatusOrKill(pid_t pid) {
    for (int tries = 0; tries < 1000; ++tries) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        usleep(10000);
    }
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitStatus(pid);
    return -1;
}

// Forks a tester in a process group of its own, so that a hung tester can be killed with every
// child it started.
pid_t forkTester() {
    pid_t tester = fork();
    if (tester == 0) setpgid(0, 0);
    return tester;
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

// The child runs until its exec has succeeded or failed before spawn returns, so the message of a
// failed exec is already written when the caller gets the pid. A long PATH of missing directories
// makes that search last long enough for a launcher that returned earlier to be caught.
TEST(SpawnExecFailureTiming, TheMessageIsWrittenBeforeSpawnReturns) {
    std::string path;
    for (int i = 0; i < 3000; ++i) path += "/nonexistent/vokrane/" + std::to_string(i) + ":";
    ScopedEnv longPath("PATH", path + "/usr/bin:/bin");
    CapturedStderr err;
    char *argv[] = {const_cast<char *>("vokrane-no-such-program"), nullptr};
    pid_t pid = spawn(argv[0], argv);
    std::string writtenWhenSpawnReturned = err.text();
    waitStatusOrKill(pid);
    EXPECT_EQ(writtenWhenSpawnReturned, kExecFailureMessage);
}

// A standard error whose reader has gone: the child still ends by SIGABRT, not by SIGPIPE.
TEST(SpawnExecFailureStderr, ABrokenPipeStillEndsBySigabrt) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    struct sigaction defaultAction = {}, previous;
    defaultAction.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &defaultAction, &previous);
    int savedStderr = dup(STDERR_FILENO);
    dup2(fds[1], STDERR_FILENO);
    close(fds[1]);
    char *argv[] = {const_cast<char *>("vokrane-no-such-program"), nullptr};
    int status = waitStatusOrKill(spawn(argv[0], argv));
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    sigaction(SIGPIPE, &previous, nullptr);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "status " << status;
}

// The child's memory is the caller's, so a core file would hold the whole caller: even with the
// caller's core limit unlimited, the aborting child dumps nothing, and the caller's limit stays.
TEST(SpawnExecFailureCore, NoCoreFileWhateverTheCallersLimit) {
    // Where cores go to a program rather than a file, the kernel dumps whatever the limit says, and
    // the dump cannot be seen here: a child aborting with limit 0 shows which is the case.
    pid_t control = fork();
    if (control == 0) abort();
    if (WCOREDUMP(waitStatus(control))) GTEST_SKIP() << "cores are dumped whatever the limit here";

    rlimit limit;
    getrlimit(RLIMIT_CORE, &limit);
    if (limit.rlim_max == 0) GTEST_SKIP() << "the hard core limit is 0";
    const rlimit raised = {limit.rlim_max, limit.rlim_max};
    TempDir dir;
    pid_t tester = fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        if (chdir(dir.path().c_str()) != 0 || setrlimit(RLIMIT_CORE, &raised) != 0) _exit(99);
        char *argv[] = {const_cast<char *>("vokrane-no-such-program"), nullptr};
        int status = waitStatus(spawn(argv[0], argv));
        rlimit after;
        getrlimit(RLIMIT_CORE, &after);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGABRT) _exit(1);
        if (WCOREDUMP(status)) _exit(2);
        _exit(after.rlim_cur == raised.rlim_cur && after.rlim_max == raised.rlim_max ? 0 : 3);
    }
    int status = waitStatus(tester);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status << " (exit 2: the child dumped core; exit 3: the caller's limit changed)";
    DIR *left = opendir(dir.path().c_str());
    for (dirent *entry; (entry = readdir(left));) {
        EXPECT_TRUE(entry->d_name[0] == '.') << "left behind: " << entry->d_name;
    }
    closedir(left);
}

// Another thread may own stderr's lock while a child is being started; a child that wrote through
// the stream would wait for that lock forever, and with it the launch.
TEST(SpawnExecFailureStdio, ChildTakesNoStdioLock) {
    CapturedStderr err;
    pid_t tester = forkTester();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        sem_t held;
        sem_init(&held, 0, 0);
        pthread_t holder;
        pthread_create(&holder, nullptr, [](void *held) -> void * {
            flockfile(stderr);
            sem_post(static_cast<sem_t *>(held));
            for (;;) pause();
        }, &held);
        sem_wait(&held);
        char *argv[] = {const_cast<char *>("vokrane-no-such-program"), nullptr};
        int status = waitStatus(spawn(argv[0], argv));
        _exit(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT ? 0 : 1);
    }
    int status = waitStatusOrKill(tester);
    ASSERT_NE(status, -1) << "the launch hung on stderr's lock";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(err.text(), kExecFailureMessage);
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

// The child runs on the caller's memory until it execs, so the way it ends must leave the C
// library's state as it was: a caller that ignored SIGABRT must still be able to abort later.
TEST(SpawnExecFailureAbort, CallerIgnoringSigabrtCanStillAbortLater) {
    pid_t tester = forkTester();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        signal(SIGABRT, SIG_IGN);
        char *argv[] = {const_cast<char *>("vokrane-no-such-program"), nullptr};
        int childStatus = waitStatus(spawn(argv[0], argv));
        if (!WIFSIGNALED(childStatus) || WTERMSIG(childStatus) != SIGABRT) _exit(1);
        signal(SIGABRT, SIG_DFL);
        pthread_t aborter;
        pthread_create(&aborter, nullptr, [](void *) -> void * { abort(); }, nullptr);
        pthread_join(aborter, nullptr);
        _exit(2);
    }
    int status = waitStatusOrKill(tester);
    ASSERT_NE(status, -1) << "abort hung in the caller after a failed launch";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "status " << status;
}

}  // namespace
