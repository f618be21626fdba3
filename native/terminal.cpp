// Taking the VM's terminal back after a program: its foreground always, its modes after a crash.
//
// A program may leave the terminal unusable when it dies by a signal: an editor leaves it raw (no
// echo, no line editing, no Ctrl-C), and a job-control shell leaves the foreground to its own dead
// process group, so the VM's next read stops it with SIGTTIN. Only a VM in the foreground has
// anything to take back; one in the background never touches the terminal.
#include "terminal.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

vokrane::HandedTerminal vokrane::handTerminalOver() {
    HandedTerminal terminal = {-1, {}};
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (!isatty(fd)) continue;
        if (tcgetpgrp(fd) == getpgrp() && tcgetattr(fd, &terminal.modes) == 0) terminal.fd = fd;
        break;
    }
    return terminal;
}

void vokrane::takeTerminalBack(const HandedTerminal &terminal, int status) {
    if (terminal.fd == -1) return;
    // When the program took the foreground, the VM is in the background here, where tcsetpgrp and
    // tcsetattr would stop it with SIGTTOU: the calling thread holds that signal back meanwhile.
    // sigprocmask, not pthread_sigmask, whose version as linked is newer than the library's baseline.
    sigset_t stopOnWrite, callerMask;
    sigemptyset(&stopOnWrite);
    sigaddset(&stopOnWrite, SIGTTOU);
    sigprocmask(SIG_BLOCK, &stopOnWrite, &callerMask);
    if (tcgetpgrp(terminal.fd) != getpgrp()) tcsetpgrp(terminal.fd, getpgrp());
    // TCSANOW: waiting for the output to drain could wait for good on a terminal nobody reads.
    if (WIFSIGNALED(status)) tcsetattr(terminal.fd, TCSANOW, &terminal.modes);
    sigprocmask(SIG_SETMASK, &callerMask, nullptr);
}
