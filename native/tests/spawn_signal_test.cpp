// Until it execs, the child runs on the caller's memory: no signal handler of the caller may run in
// it. A watcher signals every child of this process while a long PATH search holds the child
// between vfork and exec; the caller's handler must only ever run in the caller.
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
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

// Sends SIGUSR1 to every process whose parent is this one; returns how many it reached.
int signalChildren() {
    int reached = 0;
    DIR *proc = opendir("/proc");
    for (dirent *entry; (entry = readdir(proc));) {
        pid_t pid = atoi(entry->d_name);
        if (pid <= 0) continue;
        std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        size_t end = stat.rfind(')');
        if (end == std::string::npos) continue;
        char state;
        pid_t parent;
        if (sscanf(stat.c_str() + end + 2, "%c %d", &state, &parent) == 2 && parent == callerPid &&
            state != 'Z' && kill(pid, SIGUSR1) == 0) {
            ++reached;
        }
    }
    closedir(proc);
    return reached;
}

TEST(SpawnSignals, CallersHandlerNeverRunsInTheChild) {
    callerPid = getpid();
    struct sigaction caught = {}, previous;
    caught.sa_handler = recordWhereItRan;
    sigaction(SIGUSR1, &caught, &previous);
    ScopedEnv path("PATH", slowPath());

    std::atomic<bool> launching{true};
    std::atomic<int> signalsSent{0};
    std::thread watcher([&] {
        sigset_t usr1;
        sigemptyset(&usr1);
        sigaddset(&usr1, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
        while (launching) signalsSent += signalChildren();
    });
    int killedBySignal = 0;
    for (int i = 0; i < 20; ++i) {
        char *argv[] = {const_cast<char *>("true"), nullptr};
        int status = waitStatus(spawn("true", argv));
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1) ++killedBySignal;
    }
    launching = false;
    watcher.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GT(signalsSent.load(), 0) << "the watcher never caught a child to signal";
    EXPECT_GT(killedBySignal, 0);
    EXPECT_EQ(handlerRanOutsideTheCaller, 0);
}

}  // namespace
