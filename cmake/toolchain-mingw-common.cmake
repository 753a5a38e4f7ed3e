# What the MinGW-w64 toolchain files share; QV_MINGW_TRIPLE names the compiler. The POSIX
# thread model gives std::thread and std::mutex. Runtime libraries are linked statically,
# so the DLLs and programs need no MinGW files beside them on the till.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${QV_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QV_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${QV_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 and later; Unicode entry points of the system.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)
# GCC 12's libstdc++ string code trips a false -Wrestrict warning on these targets.
add_compile_options(-Wno-restrict)
set(qv_link_flags "-static -static-libgcc -static-libstdc++")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # The .def files name the exports undecorated (OPEN); the linker binds them to the
  # stdcall symbols (OPEN@12).
  add_link_options(-Wl,--enable-stdcall-fixup)
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${qv_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${qv_link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${qv_link_flags}")

# Test programs run under Wine (tests/windows/wine-run sets up the prefix).
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run)
endif()
