# Cross-builds for Linux on 32-bit ARM with hardware floating point (armhf); tests run under qemu-user.
set(VOKRANE_TRIPLE arm-linux-gnueabihf)
set(VOKRANE_PROCESSOR armv7l)
set(VOKRANE_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
