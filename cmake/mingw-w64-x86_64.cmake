# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model, so std::thread and
# std::mutex work). Tests run under Wine:
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(MILTE_MINGW_TRIPLET x86_64-w64-mingw32)
set(MILTE_WINE_LOADER_NAME wine64)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
