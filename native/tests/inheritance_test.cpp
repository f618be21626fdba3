// Nothing changes on the way to the program: it sees the caller's descriptors, signal state,
// environment, working directory, umask, limits, process group, session and terminal.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "scripted_vm.h"
#include "test_support.h"
#include "vokrane.h"

extern char **environ;

namespace {

using Report = std::map<std::string, std::vector<std::string>>;

void add(Report &report, const std::string &line) {
    size_t split = line.find_first_of(": ");
    std::string value = line.substr(split + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    report[line.substr(0, split)].push_back(value);
}

Report parse(const std::string &text) {
    Report report;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) add(report, line);
    return report;
}

void addStatusLines(Report &report, const char *file, std::initializer_list<std::string> keys) {
    std::ifstream status(file);
    for (std::string line; std::getline(status, line);) {
        for (const std::string &key : keys) {
            if (line.rfind(key + ":", 0) == 0) add(report, line);
        }
    }
}

// The same report, made from the calling thread and process: what the program should have seen.
Report describeCaller() {
    Report report;
    DIR *dir = opendir("/proc/self/fd");
    for (dirent *entry; (entry = readdir(dir));) {
        int fd = atoi(entry->d_name);
        if (entry->d_name[0] == '.' || fd == dirfd(dir) || (fcntl(fd, F_GETFD) & FD_CLOEXEC)) continue;
        char target[4096];
        ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
        add(report, "fd " + std::to_string(fd) + " " + std::string(target, length < 0 ? 0 : length));
    }
    closedir(dir);
    addStatusLines(report, "/proc/thread-self/status", {"SigBlk", "SigIgn", "Umask"});
    report["SigCgt"] = {"0000000000000000"};  // whatever the caller catches is at its default after exec
    sigset_t mask;
    int blocked = 0;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    for (int signal = 1; signal < NSIG; ++signal) blocked += sigismember(&mask, signal) == 1;
    report["blocked"] = {std::to_string(blocked)};
    std::istringstream stat(readFile("/proc/self/stat").substr(readFile("/proc/self/stat").rfind(')') + 2));
    std::string state, parent, pgrp, session, tty;
    stat >> state >> parent >> pgrp >> session >> tty;
    report["pgrp"] = {pgrp};
    report["session"] = {session};
    report["tty"] = {tty};
    char cwd[4096];
    report["cwd"] = {getcwd(cwd, sizeof cwd)};
    std::istringstream limits(readFile("/proc/self/limits"));
    for (std::string line; std::getline(limits, line);) report["limit"].push_back(line);
    for (char **variable = environ; *variable; ++variable) report["env"].push_back(*variable);
    return report;
}

Report runReporter(const TempDir &dir) {
    std::string out = dir.file("report");
    char *argv[] = {const_cast<char *>(STATE_REPORTER), out.data(), nullptr};
    pid_t pid = spawn(STATE_REPORTER, argv);
    EXPECT_GT(pid, 0);
    int status = waitStatus(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return parse(readFile(out));
}

bool hasSignal(const std::string &mask, int signal) {
    return (std::stoull(mask, nullptr, 16) >> (signal - 1)) & 1;
}

// Changes everything a program can inherit away from the usual, and puts it all back afterwards.
class SpawnInheritance : public testing::Test {
protected:
    void SetUp() override {
        inherited_ = open("/dev/null", O_RDONLY);
        notInherited_ = open(dir_.path().c_str(), O_RDONLY | O_CLOEXEC);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR2);
        pthread_sigmask(SIG_BLOCK, &blocked, &oldMask_);
        struct sigaction ignore = {}, catchIt = {};
        ignore.sa_handler = SIG_IGN;
        catchIt.sa_handler = [](int) {};
        sigaction(SIGUSR1, &ignore, &oldUsr1_);
        sigaction(SIGWINCH, &catchIt, &oldWinch_);
        oldUmask_ = umask(027);
        oldCwd_ = getcwd(nullptr, 0);
        chdir(dir_.path().c_str());
        getrlimit(RLIMIT_NOFILE, &oldFiles_);
        rlimit files = {oldFiles_.rlim_cur - 1, oldFiles_.rlim_max};
        setrlimit(RLIMIT_NOFILE, &files);
    }
    void TearDown() override {
        setrlimit(RLIMIT_NOFILE, &oldFiles_);
        chdir(oldCwd_);
        free(oldCwd_);
        umask(oldUmask_);
        sigaction(SIGWINCH, &oldWinch_, nullptr);
        sigaction(SIGUSR1, &oldUsr1_, nullptr);
        pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
        close(notInherited_);
        close(inherited_);
    }

    TempDir dir_;
    ScopedEnv variable_{"VOKRANE_INHERITED", "two words, caf\xc3\xa9"};
    int inherited_ = -1, notInherited_ = -1;
    sigset_t oldMask_;
    struct sigaction oldUsr1_, oldWinch_;
    mode_t oldUmask_ = 0;
    char *oldCwd_ = nullptr;
    rlimit oldFiles_;
};

TEST_F(SpawnInheritance, CallersOwnSignalMaskIsAsBefore) {
    sigset_t before, after;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    runReporter(dir_);
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    for (int signal = 1; signal < NSIG; ++signal) {
        EXPECT_EQ(sigismember(&before, signal), sigismember(&after, signal)) << "signal " << signal;
    }
}

TEST_F(SpawnInheritance, ProgramSeesExactlyWhatTheCallerHas) {
    Report expected = describeCaller();
    Report seen = runReporter(dir_);
    for (const auto &[key, values] : expected) EXPECT_EQ(seen[key], values) << key;
    EXPECT_EQ(seen.size(), expected.size());

    // The changes made above did reach the program, so the comparison was not between defaults.
    const std::vector<std::string> &fds = seen["fd"];
    EXPECT_NE(std::find(fds.begin(), fds.end(), std::to_string(inherited_) + " /dev/null"), fds.end());
    for (const std::string &fd : fds) EXPECT_NE(fd.rfind(std::to_string(notInherited_) + " ", 0), 0u) << fd;
    EXPECT_TRUE(hasSignal(seen["SigBlk"].at(0), SIGUSR2));
    EXPECT_TRUE(hasSignal(seen["SigIgn"].at(0), SIGUSR1));
    EXPECT_FALSE(hasSignal(seen["SigIgn"].at(0), SIGWINCH));
    EXPECT_EQ(seen["Umask"], std::vector<std::string>{"0027"});
    EXPECT_EQ(seen["cwd"], std::vector<std::string>{dir_.path()});
    const std::vector<std::string> &environment = seen["env"];
    EXPECT_NE(std::find(environment.begin(), environment.end(), "VOKRANE_INHERITED=two words, caf\xc3\xa9"),
              environment.end());
}

// A Java thread's mask is the VM's, not the Java caller's: both entry points start their program
// with no signal blocked, and leave the calling thread's mask as it was.
TEST_F(SpawnInheritance, TheEntryPointsStartTheProgramWithNoSignalBlocked) {
    std::string out = dir_.file("report");
    writeFile(dir_.file("reporter"), std::string("#!/bin/sh\nexec '") + STATE_REPORTER + "' '" + out + "'\n", 0755);
    ScriptedVm vm;
    sigset_t before, after;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    for (bool viaShell : {true, false}) {
        jint pid = viaShell ? Java_com_vok_LinuxNative_shell(vm.env(), nullptr, vm.string(dir_.file("reporter")))
                            : Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string(STATE_REPORTER), vm.string(out));
        ASSERT_GT(pid, 0);
        Report seen = parse(readFile(out));
        EXPECT_EQ(seen["SigBlk"], std::vector<std::string>{"0000000000000000"}) << (viaShell ? "shell" : "edit");
        EXPECT_TRUE(hasSignal(seen["SigIgn"].at(0), SIGUSR1)) << "ignored signals stay ignored";
        unlink(out.c_str());
    }
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    EXPECT_TRUE(sigismember(&before, SIGUSR2));
    for (int signal = 1; signal < NSIG; ++signal) {
        EXPECT_EQ(sigismember(&before, signal), sigismember(&after, signal)) << "signal " << signal;
    }
}

// As the program itself reads its mask, which works under qemu-user too.
TEST_F(SpawnInheritance, TheEntryPointsProgramFindsNoSignalBlockedItself) {
    std::string out = dir_.file("report");
    ScriptedVm vm;
    ASSERT_GT(Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string(STATE_REPORTER), vm.string(out)), 0);
    EXPECT_EQ(parse(readFile(out))["blocked"], std::vector<std::string>{"0"});
}

}  // namespace
