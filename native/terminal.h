// Taking the VM's terminal back after a program, as a job-control shell does; internal to the library.
#ifndef VOKRANE_TERMINAL_H
#define VOKRANE_TERMINAL_H

#include <termios.h>

namespace vokrane {

// The VM's terminal as it was when a program was handed it. `fd` is -1 when there is nothing to
// take back: no terminal, or one whose foreground is not the VM's process group.
struct HandedTerminal {
    int fd;
    termios modes;
};

// Notes the terminal and its modes before a program starts. The VM's terminal is the first of
// descriptors 0, 1 and 2 that is a terminal.
__attribute__((visibility("hidden"))) HandedTerminal handTerminalOver();

// After the program has ended with `status`: gives the foreground back to the VM's process group
// if the program took it, and puts the noted modes back if the program died by a signal. A program
// that exits keeps the modes it set, as `stty` must. Does nothing when handTerminalOver found
// nothing to take back, so a VM in the background is never stopped and never takes the foreground.
__attribute__((visibility("hidden"))) void takeTerminalBack(const HandedTerminal &terminal, int status);

}  // namespace vokrane

#endif
