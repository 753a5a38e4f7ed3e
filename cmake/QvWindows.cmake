# The Windows (MinGW-w64) side of the build: the libraries that Linux takes from the
# system come from their sources here, and the Windows libraries of the platform layer.

include(${CMAKE_CURRENT_LIST_DIR}/QvPugixmlSources.cmake)

# GoogleTest from the sources that the libgtest-dev package installs.
set(QV_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(QV_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QV_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # It defines GTest::gtest, GTest::gmock and GTest::gtest_main itself.
endif()

# CLI11 (header only) for the host program, from the libcli11-dev package.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11-include)
file(CREATE_LINK /usr/include/CLI ${CMAKE_BINARY_DIR}/cli11-include/CLI SYMBOLIC)
include_directories(SYSTEM ${CMAKE_BINARY_DIR}/cli11-include)
# For qvfp serve: nlohmann-json (header only) from nlohmann-json3-dev, and cpp-httplib whole,
# as a header only, from the sources of Debian's source package (the Debian package splits
# it into a header and a Linux library; ./run windows unpacks the sources).
set(QV_HTTPLIB_SOURCE_DIR "" CACHE PATH "Unpacked cpp-httplib sources (the folder holding httplib.h)")
if(NOT EXISTS "${QV_HTTPLIB_SOURCE_DIR}/httplib.h")
  message(FATAL_ERROR "QV_HTTPLIB_SOURCE_DIR must name the unpacked cpp-httplib sources")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/serve-include)
file(CREATE_LINK /usr/include/nlohmann ${CMAKE_BINARY_DIR}/serve-include/nlohmann SYMBOLIC)
add_library(qv_httplib INTERFACE)
target_include_directories(qv_httplib SYSTEM INTERFACE ${QV_HTTPLIB_SOURCE_DIR}
                           ${CMAKE_BINARY_DIR}/serve-include)
target_link_libraries(qv_httplib INTERFACE ws2_32)

# The system libraries of the platform layer: OLE strings and COM, sockets, WinHTTP, the
# spooler and the drawing surface, CNG.
set(QV_WIN32_LIBS ole32 oleaut32 uuid shell32 ws2_32 winhttp winspool gdi32 bcrypt)

# The version strings as a string-table resource, made from the one list in
# src/base/version_strings.cpp, linked into every module that links the base layer.
function(qv_version_resource target)
  file(STRINGS ${PROJECT_SOURCE_DIR}/src/base/version_strings.cpp lines REGEX "^ +\"\\$")
  set(id 10000)
  set(entries "")
  foreach(line ${lines})
    string(STRIP "${line}" line)
    string(REGEX REPLACE ",$" "" line "${line}")
    string(APPEND entries "  ${id}, ${line}\n")
    math(EXPR id "${id} + 1")
  endforeach()
  set(rc ${CMAKE_BINARY_DIR}/generated/version_strings.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT
       "// Made from src/base/version_strings.cpp by cmake/QvWindows.cmake.\nLANGUAGE 0, 0\nSTRINGTABLE\nBEGIN\n${entries}END\n")
  target_sources(${target} INTERFACE ${rc})
endfunction()
