# Runs pintovel-render once and checks what it did. Called by CTest as
#   cmake -DTOOL=... -DCHECKER=... -DWORK_DIR=... -DRUN=arg|arg|...
#         [-DEXPECT_CODE=n] [-DEXPECT_STDERR=regex] [-DEXPECT_STDERR_ONCE=regex]
#         [-DEXPECT_STDERR_NOT=regex] [-DEXPECT_STDOUT=regex] [-DCHECK_1=file|checks...] ... [-DCHECK_4=...]
#         [-DEXPECT_FILES=path|path] [-DEXPECT_ABSENT=path|path] [-DMEMORY_LIMIT_MB=n]
#         -P run_tool.cmake
# Arguments are separated by '|'; @OUT@ stands for WORK_DIR, which starts empty. A run that
# is expected to fail must leave WORK_DIR empty: nothing half-written. MEMORY_LIMIT_MB caps
# the tool's address space (ulimit -v), so that a run which would need more fails instead.
cmake_minimum_required(VERSION 3.25)

function(expand out text)
  string(REPLACE "@OUT@" "${WORK_DIR}" text "${text}")
  string(REPLACE "|" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(NOT DEFINED EXPECT_CODE)
  set(EXPECT_CODE 0)
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
expand(arguments "${RUN}")
set(command "${TOOL}" ${arguments})
if(DEFINED MEMORY_LIMIT_MB)
  math(EXPR limitKb "${MEMORY_LIMIT_MB} * 1024")
  set(command /bin/sh -c "ulimit -v ${limitKb} && exec \"$0\" \"$@\"" ${command})
endif()
execute_process(COMMAND ${command}
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(failures "")
if(NOT code STREQUAL EXPECT_CODE)
  string(APPEND failures "exit code ${code}, expected ${EXPECT_CODE}\n")
endif()
if(DEFINED EXPECT_STDERR AND NOT err MATCHES "${EXPECT_STDERR}")
  string(APPEND failures "standard error does not match '${EXPECT_STDERR}'\n")
endif()
if(DEFINED EXPECT_STDERR_NOT AND err MATCHES "${EXPECT_STDERR_NOT}")
  string(APPEND failures "standard error matches '${EXPECT_STDERR_NOT}'\n")
endif()
if(DEFINED EXPECT_STDERR_ONCE)
  string(REGEX MATCHALL "${EXPECT_STDERR_ONCE}" found "${err}")
  list(LENGTH found count)
  if(NOT count EQUAL 1)
    string(APPEND failures "'${EXPECT_STDERR_ONCE}' occurs ${count} times on standard error\n")
  endif()
endif()
if(DEFINED EXPECT_STDOUT AND NOT out MATCHES "${EXPECT_STDOUT}")
  string(APPEND failures "standard output does not match '${EXPECT_STDOUT}'\n")
endif()

if(NOT EXPECT_CODE STREQUAL "0")
  file(GLOB_RECURSE left "${WORK_DIR}/*")
  if(left)
    string(APPEND failures "a failed run left files behind: ${left}\n")
  endif()
endif()
if(DEFINED EXPECT_FILES)
  expand(paths "${EXPECT_FILES}")
  foreach(path IN LISTS paths)
    if(NOT EXISTS "${path}")
      string(APPEND failures "missing output ${path}\n")
    endif()
  endforeach()
endif()
if(DEFINED EXPECT_ABSENT)
  expand(paths "${EXPECT_ABSENT}")
  foreach(path IN LISTS paths)
    if(EXISTS "${path}")
      string(APPEND failures "unexpected output ${path}\n")
    endif()
  endforeach()
endif()

foreach(n RANGE 1 4)
  if(DEFINED CHECK_${n})
    expand(check "${CHECK_${n}}")
    execute_process(COMMAND "${CHECKER}" ${check}
      RESULT_VARIABLE checked ERROR_VARIABLE checkErr OUTPUT_QUIET)
    if(NOT checked EQUAL 0)
      string(APPEND failures "pixel check ${n} failed:\n${checkErr}")
    endif()
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "pintovel-render ${arguments}\n${failures}--- stderr ---\n${err}")
endif()
