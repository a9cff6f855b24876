# Builds for 32-bit x86 Linux with the system GCC and its multilib support (g++-multilib):
# the same compiler family and standard library as the native build, with the data model of
# the Windows target (4-byte pointers, 12-byte std::vector). One difference remains:
# alignof(double) is 4 here and 8 with MinGW.
#
# CMAKE_SYSTEM_NAME is deliberately not set: the programs run on this machine as they are, so
# CMake must not treat the build as a cross build. GoogleTest has to be built from source for
# -m32 (PINTOVEL_GTEST_FROM_SOURCE=ON); the system's copy is 64-bit only.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 arithmetic as in the Windows build: every double operation rounds to double, so results
# match the x86-64 build bit for bit (the x87 unit would keep extended precision in places).
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
