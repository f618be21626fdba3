# Cross-builds for Linux on aarch64 with musl: Debian's aarch64 cross compiler, and arm64's musl as
# scripts/setup unpacks it into build/musl-arm64; the tests run under qemu-user.
set(VOKRANE_PROCESSOR aarch64)
cmake_path(SET VOKRANE_MUSL_ROOT NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../build/musl-arm64)
set(VOKRANE_COMPILER_PREFIX aarch64-linux-gnu-)
set(VOKRANE_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
