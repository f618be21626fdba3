# Cross-builds for Linux on 32-bit ARM with software floating point (armel); tests run under qemu-user.
set(VOKRANE_TRIPLE arm-linux-gnueabi)
set(VOKRANE_PROCESSOR armv5tel)
set(VOKRANE_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
