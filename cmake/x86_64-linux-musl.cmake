# Builds for Linux on x86-64 with musl: Debian's musl-gcc links against musl's C library, and the
# C++ sources see musl's headers in place of glibc's. Only C programs can be linked with musl here,
# so the tests are a C caller and the shipped-file check.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER musl-gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-musl)
set(VOKRANE_MUSL ON)
execute_process(COMMAND gcc -print-file-name=include OUTPUT_VARIABLE compiler_headers OUTPUT_STRIP_TRAILING_WHITESPACE)
set(CMAKE_CXX_FLAGS_INIT "-nostdinc -isystem /usr/include/x86_64-linux-musl -isystem ${compiler_headers}")
set(CMAKE_FIND_ROOT_PATH /usr/lib/musl)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
