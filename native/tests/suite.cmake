# The GoogleTest suite against the built library, with helpers that report what they received.
if(CMAKE_CROSSCOMPILING)
  # The machine's GoogleTest is built for the machine: build Debian's copy of its sources instead.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

add_executable(argv_recorder argv_recorder.c)
add_executable(state_reporter state_reporter.c)
# The helpers stay plain in the sanitizer build: a sanitizer runtime would catch signals of its own.
set_target_properties(argv_recorder state_reporter PROPERTIES COMPILE_OPTIONS "" LINK_OPTIONS "")

add_executable(vokrane_native_tests
  test_support.cpp scripted_vm.cpp
  spawn_argv_test.cpp spawn_exec_failure_test.cpp spawn_fork_failure_test.cpp
  bridge_test.cpp wait_test.cpp inheritance_test.cpp concurrency_test.cpp spawn_signal_test.cpp)
target_compile_definitions(vokrane_native_tests PRIVATE
  ARGV_RECORDER="$<TARGET_FILE:argv_recorder>" STATE_REPORTER="$<TARGET_FILE:state_reporter>")
target_include_directories(vokrane_native_tests PRIVATE ${JNI_INCLUDE_DIRS})
target_link_libraries(vokrane_native_tests PRIVATE vokrane GTest::gtest Threads::Threads)
find_package(Threads REQUIRED)
add_dependencies(vokrane_native_tests argv_recorder state_reporter)
# Under qemu-user (every emulated build's tests) some tests cannot test what they name. Each is left
# out here, and why:
set(not_under_emulation
  # qemu writes a line of its own on standard error when the guest aborts, after the exact message:
  SpawnLookup.NameWithSlashIsAPathAndNotSearched SpawnExecFailureFile.* Names/SpawnExecFailure.*
  SpawnExecFailureStdio.* SpawnConcurrency.*
  # qemu-user has no seccomp, so these faults cannot be made:
  SpawnForkFailure.* BridgeForkFailure.* BridgeWaitFailure.* SpawnSignalsBlocked.*
  # the program's /proc/self/status shows qemu's own signal state, not the guest's:
  SpawnInheritance.ProgramSeesExactlyWhatTheCallerHas SpawnInheritance.TheEntryPointsStartTheProgramWithNoSignalBlocked
  # qemu runs vfork as fork: what the child does to the memory it would share cannot be seen, so
  # these would pass without testing anything
  SpawnExecFailureTiming.* SpawnExecFailureAbort.* Kinds/SpawnSignals.*)
if(CMAKE_CROSSCOMPILING_EMULATOR AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # qemu-i386 7.2 never ends these (a child forked by the test, a signal to the waiting thread), as
  # the other emulators do; the kernel runs them wherever it runs i386 programs
  list(APPEND not_under_emulation SpawnExecFailureCore.* BridgeWait.AnotherChildEndingFirstKeepsItsStatus
    BridgeWait.ASignalDuringTheWaitDoesNotEndIt)
endif()
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(JOIN not_under_emulation ":" excluded)
  set(filter TEST_FILTER "-${excluded}")
  # The programs the tests start run through binfmt_misc, under a qemu that finds libraries here.
  set(emulated ENVIRONMENT QEMU_LD_PREFIX=${CMAKE_FIND_ROOT_PATH})
endif()
gtest_discover_tests(vokrane_native_tests ${filter} PROPERTIES LABELS native TIMEOUT 120 ${emulated})

# A caller linked with musl of the glibc build, whose abort() in the vfork child would signal the
# caller's thread.
find_program(VOKRANE_MUSL_GCC musl-gcc)
if(VOKRANE_MUSL_GCC AND NOT CMAKE_CROSSCOMPILING AND NOT VOKRANE_SANITIZE)
  add_custom_command(OUTPUT musl_caller
    COMMAND ${VOKRANE_MUSL_GCC} -O2 -I${PROJECT_SOURCE_DIR}/native -o musl_caller ${CMAKE_CURRENT_SOURCE_DIR}/musl_caller.c
      -I${JAVA_INCLUDE_PATH} -I${JAVA_INCLUDE_PATH2} -L${CMAKE_BINARY_DIR} -Wl,-rpath,${CMAKE_BINARY_DIR} -lvokrane
    DEPENDS musl_caller.c vokrane VERBATIM)
  add_custom_target(musl_caller_program ALL DEPENDS musl_caller)
  add_musl_caller_test(${CMAKE_CURRENT_BINARY_DIR}/musl_caller "")
endif()
