# Builds for Linux with musl on VOKRANE_PROCESSOR, set by the platform's toolchain file beside this
# one: the C compiler (VOKRANE_COMPILER_PREFIX gcc) reads musl's own specs file, its paths moved
# under VOKRANE_MUSL_ROOT where that platform's musl is unpacked rather than installed, and the C++
# sources see musl's headers in place of glibc's. Only C programs can be linked with musl here (it
# has no C++ runtime), so the tests are a C caller and the shipped-file check, run under
# VOKRANE_QEMU where the kernel needs it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${VOKRANE_PROCESSOR})
set(CMAKE_LIBRARY_ARCHITECTURE ${VOKRANE_PROCESSOR}-linux-musl)
set(VOKRANE_MUSL ON)
set(musl_specs ${VOKRANE_MUSL_ROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/musl-gcc.specs)
if(NOT EXISTS ${musl_specs})
  message(FATAL_ERROR "no musl for ${VOKRANE_PROCESSOR}: ${musl_specs} is missing (scripts/setup provides it)")
endif()
file(READ ${musl_specs} specs)
string(REPLACE "/usr/" "${VOKRANE_MUSL_ROOT}/usr/" specs "${specs}")
file(WRITE ${CMAKE_BINARY_DIR}/musl-gcc.specs "${specs}")
set(CMAKE_C_COMPILER ${VOKRANE_COMPILER_PREFIX}gcc)
set(CMAKE_CXX_COMPILER ${VOKRANE_COMPILER_PREFIX}g++)
set(CMAKE_C_FLAGS_INIT "-specs=${CMAKE_BINARY_DIR}/musl-gcc.specs")
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=include OUTPUT_VARIABLE compiler_headers OUTPUT_STRIP_TRAILING_WHITESPACE)
set(CMAKE_CXX_FLAGS_INIT
  "-nostdinc -isystem ${VOKRANE_MUSL_ROOT}/usr/include/${CMAKE_LIBRARY_ARCHITECTURE} -isystem ${compiler_headers}")
if(VOKRANE_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VOKRANE_QEMU} -L ${VOKRANE_MUSL_ROOT})
endif()
set(CMAKE_FIND_ROOT_PATH ${VOKRANE_MUSL_ROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
# jni.h and jni_md.h are the same for every platform: the machine's JDK supplies them.
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
