# Builds the out-of-tree host project of tests/consumer against the installed package with the
# build's own toolchain, as a Windows host's developer would (find_package with Pintovel_DIR:
# a MinGW build looks for packages only inside its sysroot otherwise), and puts the program
# beside the installed DLL. With PKG_CONFIG and CXX given, the same program is also compiled
# with CXX through the installed pintovel.pc, as consumer-pkgconfig.exe beside it.
#   cmake -DPREFIX=... -DSOURCE=... -DSCRATCH=... [-DTOOLCHAIN=...] -DGENERATOR=...
#         [-DPKG_CONFIG=... -DCXX=... "-DCXXFLAGS=..."] -P consumer_build.cmake
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

if(PKG_CONFIG AND CXX)
  # Only this tree's .pc files: the build machine's own packages are for another system.
  set(ENV{PKG_CONFIG_LIBDIR} "${PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs pintovel
                  OUTPUT_VARIABLE flags ERROR_VARIABLE output RESULT_VARIABLE result
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know the installed pintovel.pc:\n${output}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(cxxflags UNIX_COMMAND "${CXXFLAGS}")
  execute_process(
    COMMAND "${CXX}" ${cxxflags} "${SOURCE}/consumer.cpp" -o "${SCRATCH}/consumer-pkgconfig.exe"
            ${flags}
    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "building the host program through pkg-config failed:\n${output}")
  endif()
  file(COPY "${SCRATCH}/consumer-pkgconfig.exe" DESTINATION "${PREFIX}/bin")
endif()
