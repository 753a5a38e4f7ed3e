# pugixml built from the sources of Debian's source package (./run unpacks them into
# build/windows-deps): for Windows, and for the fuzz build, whose parser is instrumented too.
set(QV_PUGIXML_SOURCE_DIR "" CACHE PATH "Unpacked pugixml sources (the folder holding src/)")
if(NOT EXISTS "${QV_PUGIXML_SOURCE_DIR}/src/pugixml.cpp")
  message(FATAL_ERROR "QV_PUGIXML_SOURCE_DIR must name the unpacked pugixml sources")
endif()
add_library(qv_pugixml STATIC ${QV_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
target_include_directories(qv_pugixml SYSTEM BEFORE PUBLIC ${QV_PUGIXML_SOURCE_DIR}/src)
add_library(pugixml::pugixml ALIAS qv_pugixml)
