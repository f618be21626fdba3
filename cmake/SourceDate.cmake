# The commit a build is of, and the time every shipped file carries, so that any build of one commit
# gives the same bytes: SOURCE_DATE_EPOCH when it is set, else the commit's own time, from git or,
# in a source archive made by git archive, from cmake/source-commit. Sets VOKRANE_COMMIT ("" when
# none is known) and VOKRANE_SOURCE_DATE_EPOCH, which the steps that write jars are given.
set(VOKRANE_COMMIT "")
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/source-commit archived LIMIT_COUNT 1)
find_package(Git QUIET)
if(EXISTS ${PROJECT_SOURCE_DIR}/.git AND GIT_EXECUTABLE)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%H\ %ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE archived OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  # A new commit configures anew: what HEAD names, and where the branch's commit is kept.
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${GIT_EXECUTABLE} symbolic-ref -q HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE branch OUTPUT_STRIP_TRAILING_WHITESPACE)
  foreach(file HEAD packed-refs ${branch})
    if(EXISTS ${git_dir}/${file})
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_dir}/${file})
    endif()
  endforeach()
endif()
if(archived MATCHES "^([0-9a-f]+) ([0-9]+)$")
  set(VOKRANE_COMMIT ${CMAKE_MATCH_1})
  set(commit_time ${CMAKE_MATCH_2})
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(VOKRANE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
elseif(DEFINED commit_time)
  set(VOKRANE_SOURCE_DATE_EPOCH ${commit_time})
else()
  message(FATAL_ERROR "this source tree has neither .git nor a cmake/source-commit written by git archive, so the"
    " time its files carry is unknown: set SOURCE_DATE_EPOCH to the commit's time in seconds since 1970"
    " (git log -1 --format=%ct)")
endif()
