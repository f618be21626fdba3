// The launcher behind spawn and the JNI entry points; internal to the library, never exported.
#ifndef VOKRANE_LAUNCH_H
#define VOKRANE_LAUNCH_H

#include <sys/types.h>

namespace vokrane {

// The signal mask the started program begins with.
enum class ChildSignalMask {
    Callers,  // the calling thread's own, as spawn promises
    Empty,    // none blocked: a Java thread's mask is the VM's choice, not its caller's
};

// Starts `program` as spawn does (see vokrane.h), with the child's mask as `mask` says. Hidden, so
// that the entry points reach this launcher directly and no other library's symbol can stand in.
__attribute__((visibility("hidden"))) pid_t launch(const char *program, char *const argv[],
                                                   ChildSignalMask mask);

}  // namespace vokrane

#endif
