# Cross-builds for Linux on another processor with Debian's cross compiler for VOKRANE_TRIPLE, set
# by the platform's toolchain file beside this one. The tests run under VOKRANE_QEMU, or, where the
# kernel runs the platform's programs itself, natively with the cross loader.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${VOKRANE_PROCESSOR})
set(CMAKE_C_COMPILER ${VOKRANE_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VOKRANE_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${VOKRANE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH /usr/${VOKRANE_TRIPLE})
if(VOKRANE_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VOKRANE_QEMU} -L /usr/${VOKRANE_TRIPLE})
else()
  set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-Wl,--dynamic-linker=/usr/${VOKRANE_TRIPLE}/lib/${VOKRANE_LOADER} -Wl,-rpath,/usr/${VOKRANE_TRIPLE}/lib")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
# jni.h and jni_md.h are the same for every platform: the machine's JDK supplies them.
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
