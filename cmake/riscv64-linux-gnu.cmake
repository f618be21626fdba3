# Cross-builds for Linux on 64-bit RISC-V; tests run under qemu-user.
set(VOKRANE_TRIPLE riscv64-linux-gnu)
set(VOKRANE_PROCESSOR riscv64)
set(VOKRANE_QEMU qemu-riscv64-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
