# Cross compiling the desktop build with MinGW-w64 (Debian g++-mingw-w64-i686-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The desktop application is 32-bit, so i686 is the default; MIF_MINGW_ARCH=x86_64 builds the same
# sources for 64-bit Windows, which the tests use where the machine cannot run 32-bit programs.
set(MIF_MINGW_ARCH "i686" CACHE STRING "MinGW-w64 target: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MIF_MINGW_ARCH})
set(triple ${MIF_MINGW_ARCH}-w64-mingw32)

# The posix thread model: std::thread and std::mutex without extra headers.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_OBJDUMP ${triple}-objdump CACHE FILEPATH "objdump of the target")

# Doubles are computed in SSE2 registers, as Microsoft's compiler does by default, not in the x87
# unit's 80 bits: numbers then round as in every 64-bit build (the exact decimal conversions rely
# on it).
if(MIF_MINGW_ARCH STREQUAL "i686")
    set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
    set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
endif()

# Libraries come from the target's folders only (GoogleTest built for the target is found through
# GTest_DIR).
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW runtime (libgcc, libstdc++, winpthread) is linked into every binary, so the DLLs and
# mifhost.exe need no DLL of the compiler's. Each binary then unwinds with its own copy, so no
# C++ exception may pass from one binary into another: the host library throws none of its own,
# and no entry point of the plug-in lets one out.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine: Debian's wine32 loader for 32-bit programs, wine64 for 64-bit ones.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    if(MIF_MINGW_ARCH STREQUAL "x86_64")
        set(loader wine64)
    else()
        set(loader wine)
    endif()
    find_program(MIF_WINE NAMES ${loader} PATHS /usr/lib/wine NO_DEFAULT_PATH)
    if(MIF_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${MIF_WINE})
    endif()
endif()
