// Shared pieces of the native tests: temporary files, captured standard error, child statuses.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <vector>

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points descriptor 2 at a temporary file for as long as the object lives.
class CapturedStderr {
public:
    CapturedStderr();
    ~CapturedStderr();
    CapturedStderr(const CapturedStderr &) = delete;
    CapturedStderr &operator=(const CapturedStderr &) = delete;
    std::string text() const;  // everything written to descriptor 2 so far

private:
    TempDir dir_;
    int savedStderr_;
};

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes, mode_t mode = 0644);

// The termination status of child `pid`, once it has ended.
int waitStatus(pid_t pid);

// What the argv recorder wrote: its process ID and its arguments.
struct Recording {
    pid_t pid = 0;
    std::vector<std::string> argv;
};
Recording readRecording(const std::string &path);

// Path of the argv recorder program built with the tests.
const char *argvRecorder();

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name_;
    bool hadValue_;
    std::string oldValue_;
};

// Installs a seccomp filter on this process and its future children that answers each system call
// numbered in `calls` with `action` (SECCOMP_RET_ERRNO | error, SECCOMP_RET_TRAP) and lets every
// other through. For forked testers only: the filter can never be removed. Returns false if refused.
bool filterSystemCalls(std::initializer_list<long> calls, uint32_t action);

extern const char kExecFailureMessage[];  // the 28 bytes a child writes when exec fails
