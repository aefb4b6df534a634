# Cross build for 32-bit Windows with Debian's MinGW-w64 (i686) toolchain.
# The posix thread model is used, because GoogleTest needs std::mutex, which
# the win32 model of GCC 12 lacks. Everything is linked statically (libgcc,
# libstdc++ and winpthread), so neither the DLLs nor the programs need a
# MinGW runtime DLL; they import system DLLs only.
# Test programs run under Wine through scripts/run-wine.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(MORVANE_MINGW_TRIPLET i686-w64-mingw32)
set(MORVANE_MINGW_THREADS posix CACHE STRING "Thread model of the MinGW compilers (win32 or posix)")

find_program(CMAKE_C_COMPILER NAMES ${MORVANE_MINGW_TRIPLET}-gcc-${MORVANE_MINGW_THREADS} REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MORVANE_MINGW_TRIPLET}-g++-${MORVANE_MINGW_THREADS} REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MORVANE_MINGW_TRIPLET}-windres REQUIRED)

# Libraries, headers and packages come from the MinGW sysroot only, never
# from the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${MORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Single-precision arithmetic in SSE registers, as on the other builds (and
# as the host's compiler does), not in the x87 unit's extended precision,
# which would let float intermediates exceed the float range unnoticed.
# The host calls the plug-ins with a stack aligned to 4 bytes only, so
# functions that keep SSE values on the stack realign it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

# -static on DLLs too: -static-libgcc -static-libstdc++ alone would leave
# them importing libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs (and anything else CMake runs for the target) go through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/run-wine.sh")
