# Cross toolchain for the 64-bit twin of the image: the same sources built for
# x86-64 Windows, so that the shell can be exercised under a 64-bit Wine on
# machines whose kernel cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(IMAGE_ARCH_FLAGS)
set(IMAGE_ENTRY hostEntry)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
