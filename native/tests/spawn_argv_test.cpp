// What a started program receives as its argument list, and how its name is looked up.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test_support.h"
#include "vokrane.h"

namespace {

std::vector<char *> argvOf(std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

// Runs `program` with `args` and returns what the recorder saw; the program must end normally.
Recording runRecorded(const TempDir &dir, const std::string &program, std::vector<std::string> args) {
    ScopedEnv record("RECORD_FILE", dir.file("record"));
    std::vector<char *> argv = argvOf(args);
    pid_t pid = spawn(program.c_str(), argv.data());
    EXPECT_GT(pid, 0);
    int status = waitStatus(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    Recording recording = readRecording(dir.file("record"));
    EXPECT_EQ(recording.pid, pid);
    return recording;
}

TEST(SpawnArgv, EveryArgumentArrivesByteForByte) {
    TempDir dir;
    std::vector<std::string> args = {
        argvRecorder(), "two words", "-n", "--", "", "caf\xc3\xa9",
        "\xed\xa0\xbd\xed\xb8\x80",  // a supplementary character as the VM encodes it
        "a\xc0\x80z",                // an embedded NUL as the VM encodes it
        "\xff\xfe raw", "tab\tnew\nline", "*.txt $HOME",
    };
    EXPECT_EQ(runRecorded(dir, argvRecorder(), args).argv, args);
}

TEST(SpawnArgv, Argv0IsWhatTheCallerPassedNotTheProgramName) {
    TempDir dir;
    EXPECT_EQ(runRecorded(dir, argvRecorder(), {"another name"}).argv,
              std::vector<std::string>{"another name"});
}

class SpawnLookup : public testing::Test {
protected:
    void SetUp() override {
        mkdir(dir_.file("bin").c_str(), 0755);
        mkdir(dir_.file("bin/sub").c_str(), 0755);
        symlink(argvRecorder(), dir_.file("bin/vokrane-recorder").c_str());
        symlink(argvRecorder(), dir_.file("bin/sub/vokrane-recorder").c_str());
    }
    TempDir dir_;
    ScopedEnv path_{"PATH", dir_.file("bin") + ":/usr/bin:/bin"};
};

TEST_F(SpawnLookup, NameWithoutSlashIsFoundOnPath) {
    EXPECT_EQ(runRecorded(dir_, "vokrane-recorder", {"vokrane-recorder", "x"}).argv,
              (std::vector<std::string>{"vokrane-recorder", "x"}));
}

TEST_F(SpawnLookup, NameWithSlashIsAPathAndNotSearched) {
    CapturedStderr err;
    char *argv[] = {const_cast<char *>("sub/vokrane-recorder"), nullptr};
    pid_t pid = spawn(argv[0], argv);  // bin/sub is on PATH's first entry, not under the cwd
    ASSERT_GT(pid, 0);
    int status = waitStatus(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "status " << status;
    EXPECT_EQ(err.text(), kExecFailureMessage);
}

}  // namespace
