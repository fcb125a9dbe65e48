# Cross build of the same sources for 64-bit Windows. The product ships as
# 32-bit code; this build lets the suite run at native speed under 64-bit
# Wine on hosts that cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
