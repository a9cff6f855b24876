# The Windows build (MinGW-w64 GCC): where the DLL and the programs go, how pintovel.dll links
# its C++ runtime, the runtime DLLs that ship beside it, and running programs under Wine when
# the build is a cross build. Included from the top-level CMakeLists.txt before any target is
# made; does nothing on other systems.
#
# The runtime: pintovel.dll links the shared GCC runtime (libstdc++-6.dll, libgcc_s_*.dll and,
# for the posix thread model, libwinpthread-1.dll), and so must its host. The records of the
# interface hold std::vector objects that both sides create, copy and free, so both must use
# one standard library; and a std::bad_alloc raised inside an export reaches a catch in the
# host only when both modules unwind with the same shared libgcc. With a static runtime on
# either side each module has its own unwinder and the exception ends the process.
if(NOT WIN32)
  return()
endif()

# Programs and DLLs of the build in one folder, as on a host's machine: every test program
# finds pintovel.dll and the runtime DLLs beside it, with no search path to set.
if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endif()

if(NOT MINGW)
  message(WARNING "Pintovel's Windows build is made and tested with MinGW-w64 GCC only; "
                  "a host must use the same C++ standard library as the DLL.")
  return()
endif()

# With -Wpedantic, 32-bit GCC reports every thiscall function outside a class ("thiscall
# attribute is used for non-class method") although the attribute takes effect as declared.
# The InOutArg hooks are such functions by design, in the library, its tests and every host.
# The native builds keep -Wattributes.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-attributes>)
endif()

# The runtime DLLs of this compiler, found where the compiler itself looks for them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_pintovel_libgcc_dll libgcc_s_dw2-1.dll)
else()
  set(_pintovel_libgcc_dll libgcc_s_seh-1.dll)
endif()
set(PINTOVEL_RUNTIME_DLLS)
foreach(_dll libstdc++-6.dll ${_pintovel_libgcc_dll} libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not find its runtime DLL ${_dll}")
  endif()
  get_filename_component(_path "${_path}" REALPATH)
  list(APPEND PINTOVEL_RUNTIME_DLLS "${_path}")
endforeach()
unset(_dll)
unset(_path)
unset(_pintovel_libgcc_dll)

# Copies of the runtime DLLs beside the programs of the build.
add_custom_target(pintovel_runtime_dlls ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PINTOVEL_RUNTIME_DLLS}
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
  COMMENT "Copying the C++ runtime DLLs beside the programs"
  VERBATIM)

# A cross build runs its programs (tests, GoogleTest discovery) under Wine through
# cmake/wine-run.sh, with a Wine prefix of its own inside the build folder.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(PINTOVEL_WINE wine)
  if(PINTOVEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${PROJECT_SOURCE_DIR}/cmake/wine-run.sh;--prefix;${PROJECT_BINARY_DIR}/wine-prefix")
  else()
    message(STATUS "wine not found: the Windows programs are built but cannot be run here")
  endif()
endif()

# Settings of pintovel.dll itself, made once the target exists.
function(_pintovel_windows_dll)
  if(NOT TARGET pintovel)
    return()
  endif()
  # pintovel.dll (not libpintovel.dll); the import library stays libpintovel.dll.a.
  set_target_properties(pintovel PROPERTIES PREFIX "" RUNTIME_OUTPUT_NAME pintovel)
  # The shared libgcc and libstdc++ (the default of this compiler, made explicit); only the
  # functions marked PINTOVEL_API are exported, never the runtime's or the objects' others.
  target_link_options(pintovel PRIVATE -shared-libgcc -Wl,--exclude-all-symbols)
  add_dependencies(pintovel pintovel_runtime_dlls)

  install(PROGRAMS ${PINTOVEL_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
  # `cmake --install --strip` strips the runtime DLLs too (libstdc++-6.dll: 21 MB to 2 MB); the
  # unwind tables that exceptions need stay.
  if(CMAKE_STRIP)
    foreach(_dll ${PINTOVEL_RUNTIME_DLLS})
      get_filename_component(_name "${_dll}" NAME)
      install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
          execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${_name}\")
        endif()")
    endforeach()
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _pintovel_windows_dll)
