# Cross-builds for Linux on i386, for a kernel that runs no i386 program itself; tests run under qemu-user.
set(VOKRANE_TRIPLE i686-linux-gnu)
set(VOKRANE_PROCESSOR i686)
set(VOKRANE_QEMU qemu-i386-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
