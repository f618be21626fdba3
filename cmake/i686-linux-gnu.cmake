# Cross-builds for Linux on i386; the kernel runs its programs itself, with the cross loader.
set(VOKRANE_TRIPLE i686-linux-gnu)
set(VOKRANE_PROCESSOR i686)
set(VOKRANE_LOADER ld-linux.so.2)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
