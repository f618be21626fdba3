/* Test helper: a JNI library that installs signal handlers as native libraries do, through the
   process's own sigaction (the JDK's signal-chaining library's, when it is preloaded). */
#include <jni.h>
#include <signal.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

static const int kSignals[] = {SIGILL, SIGBUS, SIGFPE, SIGSEGV, SIGPIPE, SIGXFSZ};
static char *volatile faultingPage;

/* Makes the faulting page readable, so the faulting read completes when the handler returns. */
static void onSignal(int signal, siginfo_t *info, void *context) {
    (void)context;
    long size = sysconf(_SC_PAGESIZE);
    char *address = info->si_addr;
    if (signal == SIGSEGV && faultingPage && address >= faultingPage && address < faultingPage + size) {
        mprotect(faultingPage, size, PROT_READ);
    }
}

JNIEXPORT void JNICALL Java_com_vok_ChainedHandlers_install(JNIEnv *env, jclass type) {
    (void)env, (void)type;
    struct sigaction action = {0};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) sigaction(kSignals[i], &action, NULL);
}

JNIEXPORT jboolean JNICALL Java_com_vok_ChainedHandlers_intact(JNIEnv *env, jclass type) {
    (void)env, (void)type;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        struct sigaction action;
        if (sigaction(kSignals[i], NULL, &action) != 0 || action.sa_sigaction != onSignal) return JNI_FALSE;
    }
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_com_vok_ChainedHandlers_recoverFromFault(JNIEnv *env, jclass type) {
    (void)env, (void)type;
    long size = sysconf(_SC_PAGESIZE);
    char *page = mmap(NULL, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return JNI_FALSE;
    faultingPage = page;
    char value = *(volatile char *)page;
    faultingPage = NULL;
    munmap(page, size);
    return value == 0;
}
