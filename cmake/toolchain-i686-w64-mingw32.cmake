# Cross build of the 32-bit Windows products (the till's QVFP_CYKAVREN_10.dll) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
