/* Test helper: a libvokrane.so the tests put on every VM's default library path. A VM that loads it
   instead of the library just built ends at once, saying so, and fails its test. */
#include <jni.h>
#include <unistd.h>

JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *vm, void *reserved) {
    (void)vm, (void)reserved;
    static const char message[] = "vokrane tests: a VM loaded the decoy libvokrane.so, not the build\n";
    write(STDERR_FILENO, message, sizeof message - 1);
    _exit(86);
}
