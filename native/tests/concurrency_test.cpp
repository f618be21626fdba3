// Many threads launching at once, while another writes to standard error: every launch starts,
// every failed exec ends by SIGABRT with its whole message, and nothing hangs.
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"
#include "vokrane.h"

namespace {

constexpr int kThreads = 8;
constexpr int kLaunchesPerThread = 50;
const std::string kChatter = "chatter from another thread";

struct Tally {
    int started = 0, exitedCleanly = 0, aborted = 0, other = 0;
};

// Launches alternately a program that exists and one that does not, collecting each.
Tally launchMany() {
    Tally tally;
    for (int i = 0; i < kLaunchesPerThread; ++i) {
        const char *program = i % 2 == 0 ? "true" : "vokrane-no-such-program";
        char *argv[] = {const_cast<char *>(program), nullptr};
        pid_t pid = spawn(program, argv);
        if (pid <= 0) continue;
        ++tally.started;
        int status = waitStatus(pid);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            ++tally.exitedCleanly;
        } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) {
            ++tally.aborted;
        } else {
            ++tally.other;
        }
    }
    return tally;
}

TEST(SpawnConcurrency, EightThreadsLaunchWhileAnotherWritesToStderr) {
    CapturedStderr err;
    std::atomic<bool> launching{true};
    std::thread chatter([&] {
        std::string line = kChatter + "\n";
        while (launching) {
            if (write(STDERR_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
            usleep(100);
        }
    });
    Tally tallies[kThreads];
    std::vector<std::thread> launchers;
    for (Tally &tally : tallies) launchers.emplace_back([&tally] { tally = launchMany(); });
    for (std::thread &launcher : launchers) launcher.join();
    launching = false;
    chatter.join();

    int aborted = 0;
    for (const Tally &tally : tallies) {
        EXPECT_EQ(tally.started, kLaunchesPerThread);
        EXPECT_EQ(tally.exitedCleanly, kLaunchesPerThread / 2);
        EXPECT_EQ(tally.aborted, kLaunchesPerThread / 2);
        EXPECT_EQ(tally.other, 0);
        aborted += tally.aborted;
    }
    int messages = 0, chatterLines = 0;
    std::istringstream lines(err.text());
    for (std::string line; std::getline(lines, line);) {
        if (line + "\n" == kExecFailureMessage) {
            ++messages;
        } else {
            EXPECT_EQ(line, kChatter);
            ++chatterLines;
        }
    }
    EXPECT_EQ(messages, aborted);
    EXPECT_GT(chatterLines, 0);
}

}  // namespace
