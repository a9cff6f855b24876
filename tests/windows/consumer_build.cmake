# Builds the out-of-tree host project of tests/consumer against the installed package with the
# build's own toolchain, as a Windows host's developer would (find_package with Pintovel_DIR:
# a MinGW build looks for packages only inside its sysroot otherwise), and puts the program
# beside the installed DLL.
#   cmake -DPREFIX=... -DSOURCE=... -DSCRATCH=... [-DTOOLCHAIN=...] -DGENERATOR=... -P consumer_build.cmake
foreach(var PREFIX SOURCE SCRATCH GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${SCRATCH}")
set(toolchain)
if(TOOLCHAIN)
  set(toolchain "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${SCRATCH}" -G "${GENERATOR}" ${toolchain}
          -DCMAKE_BUILD_TYPE=Release "-DPintovel_DIR=${PREFIX}/lib/cmake/Pintovel"
  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring the host project failed:\n${output}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${SCRATCH}"
                OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the host project failed:\n${output}")
endif()
file(COPY "${SCRATCH}/consumer.exe" DESTINATION "${PREFIX}/bin")
