# Cross-compiles for 32-bit x86 Windows with MinGW-w64 (GCC, libstdc++).
#
# The posix thread-model variant of the compiler is used throughout: its libstdc++ has
# std::thread and std::mutex, which GoogleTest needs, and its runtime DLLs (libstdc++-6.dll,
# libgcc_s_dw2-1.dll, libwinpthread-1.dll) are the ones that ship beside pintovel.dll. The
# win32 variant's DLLs carry the same names but are not interchangeable with these: build
# library and host with one variant.
#
#   cmake -S . -B build/windows-i686 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/i686-w64-mingw32.cmake
#
# PINTOVEL_MINGW_PREFIX may name another triple prefix (default i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

if(NOT PINTOVEL_MINGW_PREFIX)
  set(PINTOVEL_MINGW_PREFIX i686-w64-mingw32)
endif()
# Seen again inside try_compile projects, which do not inherit ordinary variables.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PINTOVEL_MINGW_PREFIX)

find_program(CMAKE_CXX_COMPILER NAMES ${PINTOVEL_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${PINTOVEL_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${PINTOVEL_MINGW_PREFIX}-windres)
find_program(CMAKE_OBJDUMP NAMES ${PINTOVEL_MINGW_PREFIX}-objdump)

# Headers and libraries of the target come from the MinGW sysroot only; programs that run
# during the build come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${PINTOVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic, as 32-bit Windows compilers use by default: doubles are rounded to double at
# every step, so results match the x86-64 builds bit for bit instead of depending on where the
# x87 unit's extended precision happened to be kept.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
