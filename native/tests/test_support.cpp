// Shared pieces of the native tests, and their main: aborting children must leave no core files.
#include "test_support.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

const char kExecFailureMessage[] = "an error occurred in execvp\n";

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/vokrane-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    path_ = pattern;
}

TempDir::~TempDir() { std::filesystem::remove_all(path_); }

CapturedStderr::CapturedStderr() : savedStderr_(dup(STDERR_FILENO)) {
    int fd = open(dir_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (savedStderr_ < 0 || fd < 0 || dup2(fd, STDERR_FILENO) < 0) abort();
    close(fd);
}

CapturedStderr::~CapturedStderr() {
    dup2(savedStderr_, STDERR_FILENO);
    close(savedStderr_);
}

std::string CapturedStderr::text() const { return readFile(dir_.file("stderr")); }

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string &path, const std::string &bytes, mode_t mode) {
    std::ofstream(path, std::ios::binary) << bytes;
    chmod(path.c_str(), mode);
}

int waitStatus(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) == -1) {
        if (errno != EINTR) return -1;
    }
    return status;
}

Recording readRecording(const std::string &path) {
    std::string bytes = readFile(path);
    Recording recording;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
        std::string field = bytes.substr(start, end - start);
        if (start == 0) {
            recording.pid = std::stoi(field);
        } else {
            recording.argv.push_back(field);
        }
    }
    return recording;
}

const char *argvRecorder() { return ARGV_RECORDER; }

ScopedEnv::ScopedEnv(const char *name, const std::string &value) : name_(name) {
    const char *old = getenv(name);
    hadValue_ = old != nullptr;
    if (hadValue_) oldValue_ = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (hadValue_) {
        setenv(name_, oldValue_.c_str(), 1);
    } else {
        unsetenv(name_);
    }
}

bool filterSystemCalls(std::initializer_list<long> calls, uint32_t action) {
    std::vector<sock_filter> filter = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (long call : calls) {
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(call), 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, action));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program = {static_cast<unsigned short>(filter.size()), filter.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

int main(int argc, char **argv) {
    // Only the soft limit: a test may raise it again to see that a child dumps no core.
    rlimit noCore;
    getrlimit(RLIMIT_CORE, &noCore);
    noCore.rlim_cur = 0;
    setrlimit(RLIMIT_CORE, &noCore);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
