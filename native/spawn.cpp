// The launcher: fork, then exec in the child; the child changes nothing it inherited.
//
// Between fork and exec the child is a copy of one thread of a possibly multi-threaded process:
// any lock another thread held at the fork stays held forever in the child. So the child's path
// takes no lock, allocates nothing and uses no stdio: it calls execvp and, when that returns, only
// write and abort, which are async-signal-safe.
#include "vokrane.h"

#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// Writes all of `size` bytes to `fd`, resuming after a partial write or an interruption.
// Runs in the child: must not allocate or lock.
void writeFully(int fd, const char *bytes, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

// Tells the shared standard error that the program could not be started, and ends the child.
// Runs in the child: must not return, allocate or lock.
[[noreturn]] void failExec() {
    const char message[] = "an error occurred in execvp\n";
    writeFully(STDERR_FILENO, message, sizeof message - 1);
    abort();
}

}  // namespace

extern "C" pid_t spawn(const char *program, char *const argv[]) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    execvp(program, argv);
    failExec();
}
