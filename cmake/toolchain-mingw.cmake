# Cross build for Windows with the mingw-w64 posix-thread compilers of KX_MINGW_TRIPLET (set by
# the toolchain file that includes this one).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Programs built here run under Wine, through the launcher that owns the test prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
