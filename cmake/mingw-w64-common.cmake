# What both MinGW-w64 toolchains share; MILTE_MINGW_TRIPLET names the target, MILTE_WINE_LOADER_NAME
# the Wine loader that runs its programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)  # Windows 7 and later

set(CMAKE_C_COMPILER ${MILTE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MILTE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MILTE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MILTE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime and winpthreads are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (and gtest's discovery) run under Wine, where it is installed, through the loader
# of the target's width (MILTE_WINE_LOADER_NAME): plain `wine` hands a 64-bit program on to a
# process of its own once the 32-bit Wine is installed too.
find_program(MILTE_WINE_LOADER ${MILTE_WINE_LOADER_NAME} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(MILTE_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MILTE_WINE_LOADER})
endif()
