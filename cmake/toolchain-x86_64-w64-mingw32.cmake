# Cross build of the same tree for 64-bit Windows with MinGW-w64. The products are 32-bit;
# this build runs the Windows suite under a 64-bit Wine where 32-bit programs cannot run
# (a kernel without 32-bit support).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
