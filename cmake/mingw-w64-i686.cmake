# Cross build for 32-bit Windows, the program's original target. Running it needs a 32-bit Wine
# (i386 multiarch); the test run only builds it.
set(MILTE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
