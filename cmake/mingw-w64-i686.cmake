# Cross build for 32-bit Windows, the program's original target. Its tests run under the 32-bit
# Wine (wine32 from the i386 architecture):
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(MILTE_MINGW_TRIPLET i686-w64-mingw32)
set(MILTE_WINE_LOADER_NAME wine)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
