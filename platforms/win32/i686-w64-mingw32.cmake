# Cross toolchain for the shipping image: 32-bit Windows, i486 code.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(IMAGE_ARCH_FLAGS -march=i486)
set(IMAGE_ENTRY _hostEntry@0)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
