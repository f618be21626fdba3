# Cross-builds for Linux on little-endian 64-bit POWER (ppc64el); tests run under qemu-user.
set(VOKRANE_TRIPLE powerpc64le-linux-gnu)
set(VOKRANE_PROCESSOR ppc64le)
set(VOKRANE_QEMU qemu-ppc64le-static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
