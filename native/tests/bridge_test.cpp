// The entry points' dealings with the VM: every string given back, before the wait, whatever the VM
// reports; nothing started and nothing waited for when a string is null or cannot be had.
#include <errno.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "scripted_vm.h"
#include "test_support.h"

namespace {

bool noChildExists() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

class BridgeStrings : public testing::TestWithParam<ScriptedVm::Chars> {
protected:
    TempDir dir_;
    ScopedEnv record_{"RECORD_FILE", dir_.file("record")};
};

TEST_P(BridgeStrings, EditGivesBothStringsBackAndReturnsTheChildsPid) {
    ScriptedVm vm(GetParam());
    jint pid = Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string(argvRecorder()),
                                             vm.string("-file name"));
    Recording recording = readRecording(dir_.file("record"));
    EXPECT_EQ(pid, recording.pid);
    EXPECT_EQ(recording.argv, (std::vector<std::string>{argvRecorder(), "-file name"}));
    std::string recorder = argvRecorder();
    EXPECT_EQ(vm.calls(), (std::vector<std::string>{"get " + recorder, "get -file name",
                                                    "release " + recorder, "release -file name"}));
    EXPECT_EQ(vm.unreleased(), 0u);
    EXPECT_TRUE(noChildExists());
}

TEST_P(BridgeStrings, ShellGivesItsStringBackAndReturnsTheChildsPid) {
    ScriptedVm vm(GetParam());
    jint pid = Java_com_vok_LinuxNative_shell(vm.env(), nullptr, vm.string(argvRecorder()));
    Recording recording = readRecording(dir_.file("record"));
    EXPECT_EQ(pid, recording.pid);
    EXPECT_EQ(recording.argv, std::vector<std::string>{argvRecorder()});
    EXPECT_EQ(vm.unreleased(), 0u);
    EXPECT_TRUE(noChildExists());
}

TEST_P(BridgeStrings, StringsAreGivenBackWhileTheProgramStillRuns) {
    ScriptedVm vm(GetParam());
    int releasesBeforeChildEnded = 0;
    vm.onRelease = [&] {
        siginfo_t ended = {};
        if (waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0) {
            ++releasesBeforeChildEnded;
        }
    };
    jint pid = Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string("sleep"), vm.string("0.3"));
    EXPECT_GT(pid, 0);
    EXPECT_EQ(releasesBeforeChildEnded, 2);
}

INSTANTIATE_TEST_SUITE_P(CopyAndNoCopy, BridgeStrings,
                         testing::Values(ScriptedVm::Chars::Own, ScriptedVm::Chars::Copy),
                         [](const testing::TestParamInfo<ScriptedVm::Chars> &info) {
                             return info.param == ScriptedVm::Chars::Copy ? "Copy" : "NoCopy";
                         });

TEST(BridgeNullString, NoVmCallNoChildMinusOne) {
    ScriptedVm vm;
    EXPECT_EQ(Java_com_vok_LinuxNative_shell(vm.env(), nullptr, nullptr), -1);
    EXPECT_EQ(Java_com_vok_LinuxNative_edit(vm.env(), nullptr, nullptr, vm.string("file")), -1);
    EXPECT_EQ(Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string("true"), nullptr), -1);
    EXPECT_EQ(Java_com_vok_LinuxNative_edit(vm.env(), nullptr, nullptr, nullptr), -1);
    EXPECT_TRUE(vm.calls().empty());
    EXPECT_TRUE(noChildExists());
}

// The VM returns null with an OutOfMemoryError pending: nothing starts, what was had goes back.
TEST(BridgeCharsUnavailable, ShellStartsNothing) {
    ScriptedVm vm(ScriptedVm::Chars::Copy, 0);
    EXPECT_EQ(Java_com_vok_LinuxNative_shell(vm.env(), nullptr, vm.string("true")), -1);
    EXPECT_EQ(vm.calls(), std::vector<std::string>{"get true"});
    EXPECT_TRUE(noChildExists());
}

TEST(BridgeCharsUnavailable, EditorUnavailableStartsNothingAndAsksNoMore) {
    ScriptedVm vm(ScriptedVm::Chars::Copy, 0);
    EXPECT_EQ(Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string("true"), vm.string("f")), -1);
    EXPECT_EQ(vm.calls(), std::vector<std::string>{"get true"});
    EXPECT_TRUE(noChildExists());
}

TEST(BridgeCharsUnavailable, FileUnavailableGivesTheEditorBack) {
    for (ScriptedVm::Chars chars : {ScriptedVm::Chars::Own, ScriptedVm::Chars::Copy}) {
        ScriptedVm vm(chars, 1);
        EXPECT_EQ(Java_com_vok_LinuxNative_edit(vm.env(), nullptr, vm.string("true"), vm.string("f")), -1);
        EXPECT_EQ(vm.calls(), (std::vector<std::string>{"get true", "get f", "release true"}));
        EXPECT_EQ(vm.unreleased(), 0u);
        EXPECT_TRUE(noChildExists());
    }
}

}  // namespace
