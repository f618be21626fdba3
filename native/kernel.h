// The kernel's own signal and limit structures, as the raw system calls take them; what differs by processor is here alone.
#ifndef VOKRANE_KERNEL_H
#define VOKRANE_KERNEL_H

#include <stddef.h>
#include <stdint.h>

namespace vokrane {

// The kernel's signal set: 64 signals on every Linux processor but MIPS, which has 128. The C
// library's sigset_t is larger (1024 bits in glibc) and starts with the kernel's, word for word.
#if defined(__mips__)
constexpr int kKernelSignals = 128;
#else
constexpr int kKernelSignals = 64;
#endif
constexpr int kBitsPerWord = 8 * sizeof(unsigned long);
struct KernelSigset {
    unsigned long words[kKernelSignals / kBitsPerWord];
};
constexpr size_t kKernelSigsetSize = sizeof(KernelSigset);

// The kernel's sigaction: MIPS puts the flags first; processors without SA_RESTORER (RISC-V) have
// no restorer; the rest lay it out as x86 does.
#if defined(__mips__)
struct KernelSigaction {
    unsigned int flags;
    void (*handler)(int);
    KernelSigset mask;
};
#elif defined(__riscv)
struct KernelSigaction {
    void (*handler)(int);
    unsigned long flags;
    KernelSigset mask;
};
#else
struct KernelSigaction {
    void (*handler)(int);
    unsigned long flags;
    void (*restorer)();
    KernelSigset mask;
};
#endif

// prlimit64's limits are 64 bits everywhere, where the C library's struct rlimit has 32-bit ones
// on 32-bit processors.
struct KernelRlimit64 {
    uint64_t current;
    uint64_t maximum;
};

}  // namespace vokrane

#endif
