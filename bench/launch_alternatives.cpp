// The benchmark's own launchers, handled exactly like the library's: posix_spawnp + waitpid (the
// floor) and a plain fork + execvp + waitpid (the reference).
#include <errno.h>
#include <jni.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

jint waitFor(pid_t pid) {
    int status;
    while (waitpid(pid, &status, 0) == -1) {
        if (errno != EINTR) return -1;
    }
    return pid;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_vok_bench_LaunchBench_posixSpawnp(JNIEnv *env, jclass, jstring program) {
    const char *name = env->GetStringUTFChars(program, nullptr);
    char *argv[] = {const_cast<char *>(name), nullptr};
    pid_t pid;
    int error = posix_spawnp(&pid, name, nullptr, nullptr, argv, environ);
    env->ReleaseStringUTFChars(program, name);
    return error == 0 ? waitFor(pid) : -1;
}

JNIEXPORT jint JNICALL Java_com_vok_bench_LaunchBench_forkExecvp(JNIEnv *env, jclass, jstring program) {
    const char *name = env->GetStringUTFChars(program, nullptr);
    char *argv[] = {const_cast<char *>(name), nullptr};
    pid_t pid = fork();
    if (pid == 0) {
        execvp(name, argv);
        _exit(127);
    }
    env->ReleaseStringUTFChars(program, name);
    return pid == -1 ? -1 : waitFor(pid);
}

}
