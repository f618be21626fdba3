# Builds for Linux on x86-64 with musl: the machine's compiler and Debian's musl-dev.
set(VOKRANE_PROCESSOR x86_64)
set(VOKRANE_MUSL_ROOT "")
set(VOKRANE_COMPILER_PREFIX "")
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
