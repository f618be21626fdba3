/* Test helper: a libvokrane.so the tests put on every VM's default library path. A VM that loads it
   instead of the library just built ends at once, saying so, and fails its test. It exports what the
   loader looks for, so that it is taken for this version's library; built with OLDER_VERSION, only
   what the first version exported, so that the loader must refuse it before it is loaded. */
#include <jni.h>
#include <unistd.h>

JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *vm, void *reserved) {
    (void)vm, (void)reserved;
    static const char message[] = "vokrane tests: a VM loaded the decoy libvokrane.so, not the build\n";
    write(STDERR_FILENO, message, sizeof message - 1);
    _exit(86);
}

JNIEXPORT void JNICALL Java_com_vok_LinuxNative_shell(void) {}
JNIEXPORT void JNICALL Java_com_vok_LinuxNative_edit(void) {}
#ifndef OLDER_VERSION
JNIEXPORT void JNICALL Java_com_vok_LinuxNative_beginTerminalCall(void) {}
JNIEXPORT void JNICALL Java_com_vok_LinuxNative_endTerminalCall(void) {}
#endif
