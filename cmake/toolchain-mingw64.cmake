# The same sources for 64-bit Windows (x86-64): the test build for machines that cannot run
# 32-bit x86 code, where only 64-bit Wine starts.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KX_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
