/* A caller linked with musl: the entry points run programs, and a program that cannot be loaded
 * ends the child by SIGABRT, never the caller. The VM's side of JNI is a table of two functions. */
#include <jni.h>
#include <stdio.h>
#include <sys/wait.h>
#include <vokrane.h>

JNIEXPORT jint JNICALL Java_com_vok_LinuxNative_shell(JNIEnv *env, jclass, jstring program);
JNIEXPORT jint JNICALL Java_com_vok_LinuxNative_edit(JNIEnv *env, jclass, jstring editor, jstring file);

/* A jstring here is the C string itself. */
static const char *JNICALL getChars(JNIEnv *env, jstring string, jboolean *isCopy) {
    (void)env;
    if (isCopy) *isCopy = JNI_FALSE;
    return (const char *)string;
}

static void JNICALL releaseChars(JNIEnv *env, jstring string, const char *chars) {
    (void)env, (void)string, (void)chars;
}

int main(void) {
    struct JNINativeInterface_ vm = {0};
    vm.GetStringUTFChars = getChars;
    vm.ReleaseStringUTFChars = releaseChars;
    JNIEnv env = &vm;
    if (Java_com_vok_LinuxNative_shell(&env, NULL, (jstring) "true") <= 0) return 3;
    if (Java_com_vok_LinuxNative_edit(&env, NULL, (jstring) "echo", (jstring) "the editor ran") <= 0) return 4;
    char *argv[] = {"vokrane-no-such-program", NULL};
    pid_t pid = spawn(argv[0], argv);
    int status;
    if (pid == -1 || waitpid(pid, &status, 0) != pid) return 1;
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGABRT || WCOREDUMP(status)) return 2;
    puts("the caller lives on");
    return 0;
}
