# Cross-builds for Linux on aarch64; tests run under qemu-user.
set(VOKRANE_TRIPLE aarch64-linux-gnu)
set(VOKRANE_PROCESSOR aarch64)
set(VOKRANE_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
