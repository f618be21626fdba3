// The scripted JNIEnv: records each string call and checks that what was handed out comes back.
#include "scripted_vm.h"

#include <algorithm>

ScriptedVm::ScriptedVm(Chars chars, int failingRequest) : chars_(chars), failingRequest_(failingRequest) {
    table_.GetStringUTFChars = getChars;
    table_.ReleaseStringUTFChars = releaseChars;
    env_.functions = &table_;
    env_.vm = this;
}

jstring ScriptedVm::string(const std::string &bytes) {
    strings_.push_back({bytes, {}});
    return reinterpret_cast<jstring>(&strings_.back());
}

size_t ScriptedVm::unreleased() const {
    size_t count = 0;
    for (const Entry &entry : strings_) count += entry.handedOut.size();
    return count;
}

ScriptedVm &ScriptedVm::of(JNIEnv *env) { return *static_cast<Env *>(env)->vm; }

const char *JNICALL ScriptedVm::getChars(JNIEnv *env, jstring string, jboolean *isCopy) {
    ScriptedVm &vm = of(env);
    Entry &entry = *reinterpret_cast<Entry *>(string);
    vm.calls_.push_back("get " + entry.bytes);
    if (vm.requests_++ == vm.failingRequest_) return nullptr;
    const char *chars = entry.bytes.c_str();
    if (vm.chars_ == Chars::Copy) chars = vm.copies_.emplace_back(entry.bytes).c_str();
    if (isCopy != nullptr) *isCopy = vm.chars_ == Chars::Copy ? JNI_TRUE : JNI_FALSE;
    entry.handedOut.push_back(chars);
    return chars;
}

void JNICALL ScriptedVm::releaseChars(JNIEnv *env, jstring string, const char *chars) {
    ScriptedVm &vm = of(env);
    Entry &entry = *reinterpret_cast<Entry *>(string);
    vm.calls_.push_back("release " + entry.bytes);
    auto given = std::find(entry.handedOut.begin(), entry.handedOut.end(), chars);
    if (given != entry.handedOut.end()) entry.handedOut.erase(given);
    if (vm.onRelease) vm.onRelease();
}
