# Cross toolchain: 64-bit Windows with mingw-w64 (x86_64), everything linked statically.
# Used only for the builds that Wine runs on machines that cannot run 32-bit code; the product is 32-bit.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
