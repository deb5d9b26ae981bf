# Shared part of the MinGW-w64 toolchain files: cross-compiles for Windows and runs the results under Wine.
# The including file sets `triplet`, `CMAKE_SYSTEM_PROCESSOR` and `quimble_edition` (32 or 64).
set(CMAKE_SYSTEM_NAME Windows)

# The -posix variants: GoogleTest needs std::mutex, which the win32-thread runtime lacks.
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything static, so an executable needs nothing but the system's own DLLs; release builds without symbols.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Debian's GoogleTest sources, built with this toolchain.
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")

# Test executables run in a throwaway Wine prefix of this edition inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec;${quimble_edition};${CMAKE_BINARY_DIR}/wineprefix")
