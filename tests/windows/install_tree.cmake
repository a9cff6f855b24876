# Installs the build into a fresh folder, stripped as for shipping, checks that the tree holds
# what a Windows host needs, and puts a copy of the test host beside the installed DLL so that
# it can run from there with nothing but the installed files.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DHOST=... -P install_tree.cmake
foreach(var BUILD_DIR PREFIX HOST)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" --strip
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(missing)
foreach(file
    bin/pintovel.dll
    bin/libstdc++-6.dll
    bin/libwinpthread-1.dll
    lib/libpintovel.dll.a
    include/pintovel/pintovel.h
    lib/cmake/Pintovel/PintovelConfig.cmake)
  if(NOT EXISTS "${PREFIX}/${file}")
    list(APPEND missing "${file}")
  endif()
endforeach()
file(GLOB libgcc "${PREFIX}/bin/libgcc_s_*.dll")
if(NOT libgcc)
  list(APPEND missing "bin/libgcc_s_*.dll")
endif()
if(missing)
  message(FATAL_ERROR "the install tree lacks: ${missing}")
endif()

file(COPY "${HOST}" DESTINATION "${PREFIX}/bin")
message(STATUS "installed into ${PREFIX}")
