// The JNI entry points of com.vok.LinuxNative: start a program on the VM's terminal and wait for it.
//
// Each call borrows the strings' modified UTF-8 bytes from the VM, starts the program with the
// library's own launcher, gives every string back before blocking (whether or not the VM handed out
// a copy), and then waits for that one child only, so the Java program's other children keep their
// exit statuses. A stop of a program in a process group of its own is passed on to the VM, as a
// shell's job stops; once the program has ended, the call takes back what it took of the VM's
// terminal (terminal.cpp).
//
// The program starts with no signal blocked. A Java thread's mask is the VM's (it blocks SIGQUIT
// for its own use), not a choice of the Java caller, who has no way to make one; the child sets the
// empty mask itself, so the calling thread never unblocks what the VM keeps blocked.
#include <errno.h>
#include <jni.h>
#include <stddef.h>
#include <sys/wait.h>

#include "launch.h"
#include "terminal.h"

namespace {

// Waits until the child `pid` has ended and collects it into `status`; a signal arriving meanwhile
// does not end the wait, and a stop is passed on. Returns `pid`, or -1 when the wait fails.
pid_t waitForChild(pid_t pid, int *status) {
    pid_t result;
    for (;;) {
        result = waitpid(pid, status, WUNTRACED);
        if (result == -1 && errno == EINTR) continue;
        if (result != pid || !WIFSTOPPED(*status)) break;
        vokrane::passStopOn(pid, WSTOPSIG(*status));
    }
    // No such child, for a child just made, means it has ended and was collected already: by the
    // kernel when SIGCHLD is ignored (the wait then lasts until the child ends), or by another
    // thread's wait for any child. How it ended is not known, so it counts as an exit.
    if (result == -1 && errno == ECHILD) {
        *status = 0;
        return pid;
    }
    return result;
}

template <size_t count>
void releaseChars(JNIEnv *env, const jstring (&strings)[count], char *const chars[], size_t obtained) {
    for (size_t i = 0; i < obtained; ++i) env->ReleaseStringUTFChars(strings[i], chars[i]);
}

// Runs the program named by strings[0] with all the strings as its argument list and waits for it.
// Returns the program's process ID, or -1 when a string is null, the VM cannot supply its bytes
// (an OutOfMemoryError is then pending), no child could be created, or the wait failed.
template <size_t count>
jint run(JNIEnv *env, const jstring (&strings)[count]) {
    for (jstring string : strings) {
        if (string == nullptr) return -1;
    }
    char *argv[count + 1] = {};
    for (size_t i = 0; i < count; ++i) {
        argv[i] = const_cast<char *>(env->GetStringUTFChars(strings[i], nullptr));
        if (argv[i] == nullptr) {
            releaseChars(env, strings, argv, i);
            return -1;
        }
    }
    vokrane::beginTerminalCall(false);
    pid_t pid = vokrane::launch(argv[0], argv, vokrane::ChildSignalMask::Empty);
    releaseChars(env, strings, argv, count);
    int status = 0;
    // After a failed wait the program may still be running: nothing is taken back from it.
    if (pid != -1 && waitForChild(pid, &status) == -1) pid = -1;
    vokrane::endTerminalCall(pid, pid != -1 && WIFSIGNALED(status));
    return pid;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_vok_LinuxNative_shell(JNIEnv *env, jclass, jstring program) {
    return run(env, {program});
}

JNIEXPORT jint JNICALL Java_com_vok_LinuxNative_edit(JNIEnv *env, jclass, jstring editor, jstring file) {
    return run(env, {editor, file});
}

// The Java side's own calls: each begins before its program starts, and ends once it has ended
// with `program` its process ID, or -1 when it did not start (terminal.h).
JNIEXPORT void JNICALL Java_com_vok_LinuxNative_beginTerminalCall(JNIEnv *, jclass, jboolean othersRunning) {
    vokrane::beginTerminalCall(othersRunning);
}

JNIEXPORT void JNICALL Java_com_vok_LinuxNative_endTerminalCall(JNIEnv *, jclass, jlong program, jboolean modesWanted) {
    vokrane::endTerminalCall(static_cast<pid_t>(program), modesWanted);
}

}
