// A JNIEnv whose string functions follow a script, for bridge paths a real VM cannot be made to take.
#pragma once

#include <jni.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

extern "C" {
JNIEXPORT jint JNICALL Java_com_vok_LinuxNative_shell(JNIEnv *, jclass, jstring);
JNIEXPORT jint JNICALL Java_com_vok_LinuxNative_edit(JNIEnv *, jclass, jstring, jstring);
}

// Strings made with string() hand out their bytes in the scripted way; every other JNI function is
// absent, so a bridge that called one would crash the test.
class ScriptedVm {
public:
    enum class Chars {
        Own,   // the string's own bytes, reported as no copy
        Copy,  // a fresh copy, reported as a copy
    };
    explicit ScriptedVm(Chars chars = Chars::Own, int failingRequest = -1);
    ScriptedVm(const ScriptedVm &) = delete;
    ScriptedVm &operator=(const ScriptedVm &) = delete;

    JNIEnv *env() { return &env_; }
    jstring string(const std::string &bytes);

    // One line per call the bridge made: "get <bytes>" or "release <bytes>".
    const std::vector<std::string> &calls() const { return calls_; }
    // Bytes handed out and not yet given back, or given back for the wrong string.
    size_t unreleased() const;
    // Runs inside each release, for checks of what has happened by then.
    std::function<void()> onRelease;

private:
    struct Entry {
        std::string bytes;
        std::vector<const char *> handedOut;
    };
    static ScriptedVm &of(JNIEnv *env);
    static const char *JNICALL getChars(JNIEnv *env, jstring string, jboolean *isCopy);
    static void JNICALL releaseChars(JNIEnv *env, jstring string, const char *chars);

    struct Env : JNIEnv {
        ScriptedVm *vm;
    } env_;
    JNINativeInterface_ table_{};
    Chars chars_;
    int failingRequest_;
    int requests_ = 0;
    std::deque<Entry> strings_;
    std::deque<std::string> copies_;
    std::vector<std::string> calls_;
};
