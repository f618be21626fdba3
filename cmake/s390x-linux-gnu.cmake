# Cross-builds for Linux on IBM Z (s390x, big-endian); tests run under qemu-user.
set(VOKRANE_TRIPLE s390x-linux-gnu)
set(VOKRANE_PROCESSOR s390x)
set(VOKRANE_QEMU qemu-s390x-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
