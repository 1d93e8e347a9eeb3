# The product: 32-bit Windows (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
