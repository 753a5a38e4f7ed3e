# Helpers shared by the CMake files of the tree.

# The leak checker's options for every test. intercept_tls_get_addr=0: up to GCC 13 and
# LLVM 16 the sanitizers' __tls_get_addr hook takes a dynamic TLS block whose address falls
# on a certain offset within its page for one with a glibc 2.19 header and reads two words
# before it as a range to scan; the block lands there by chance (it moves with the
# environment and the working folder), and the leak check then dies with "Tracer caught
# signal 11" instead of reporting. Without the hook, only the dynamic TLS of loaded modules
# goes unscanned.
set(QV_TEST_LSAN_OPTIONS
    "suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:intercept_tls_get_addr=0")

# qv_layer(NAME DIR DEPS...): a static library of every .cpp in DIR; on Linux the
# *_win32.cpp files are left out, on Windows the *_posix.cpp files.
function(qv_layer name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  if(NOT sources)
    # A layer without sources yet still links as an empty archive.
    set(sources ${CMAKE_BINARY_DIR}/qv_empty.cpp)
    file(WRITE ${sources} "")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# qv_test_suite(NAME DIR LIBS...): one GoogleTest program of every *_test.cpp in DIR, and
# one helper program per .cpp in DIR/programs (named after the file).
function(qv_test_suite name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  file(GLOB support CONFIGURE_DEPENDS ${dir}/support/*.cpp)
  add_executable(${name} ${sources} ${support})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE QV_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                             QV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300
                       ENVIRONMENT "LSAN_OPTIONS=${QV_TEST_LSAN_OPTIONS}")
  file(GLOB programs CONFIGURE_DEPENDS ${dir}/programs/*.cpp)
  foreach(program ${programs})
    get_filename_component(stem ${program} NAME_WE)
    add_executable(${stem} ${program})
    target_include_directories(${stem} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${stem} PRIVATE ${ARGN})
    target_compile_definitions(${stem} PRIVATE QV_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    add_dependencies(${name} ${stem})
  endforeach()
endfunction()

# qv_module(NAME [PRODUCT] SOURCES... LIBS ...): a loadable library named exactly NAME.so (no
# "lib" prefix), as the system names "NAME.dll". PRODUCT keeps only the C exports visible.
function(qv_module name)
  cmake_parse_arguments(M "PRODUCT" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${M_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  if(NOT WIN32)
    set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
    if(NOT QV_FUZZ)
      # (The fuzz build's libraries take the sanitizers' runtime from the harness program.)
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    if(M_PRODUCT)
      # A product library shows its C exports only (cmake/exports.map).
      target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map)
      set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/exports.map)
    endif()
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${M_LIBS})
endfunction()
