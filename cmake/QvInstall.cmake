# Install rules and packages.
#
# Linux: the program and the libraries it loads share one private folder,
# <prefix>/lib/qvfp (the library looks for its companions beside the host program first, and
# writes its logs into LogFiles there), with <prefix>/bin/qvfp linking to the program; the
# documents and examples go to <prefix>/share/doc/qvfp, the systemd unit to
# <prefix>/lib/systemd/system (installed, not enabled). The package is made for /opt/qvfp.
# Windows: one folder with qvfp.exe and the 32-bit DLLs, docs and examples beside them.
#
# Components: "product" (library, qvfp, documents) and "standins" (the receipt-printer
# driver and signing component stand-ins, which a real till replaces).
include(GNUInstallDirs)

if(WIN32)
  set(qv_program_dir .)
  set(qv_doc_dir docs)
  set(qv_examples_dir examples)
else()
  set(qv_program_dir ${CMAKE_INSTALL_LIBDIR}/qvfp)
  set(qv_doc_dir ${CMAKE_INSTALL_DOCDIR})
  set(qv_examples_dir ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

install(TARGETS qvfp QVFP_CYKAVREN_10
        RUNTIME DESTINATION ${qv_program_dir} COMPONENT product
        LIBRARY DESTINATION ${qv_program_dir} COMPONENT product)
install(TARGETS QVRP_GENERIC_10 AlgoDll
        RUNTIME DESTINATION ${qv_program_dir} COMPONENT standins
        LIBRARY DESTINATION ${qv_program_dir} COMPONENT standins)
install(FILES README.md DESTINATION ${qv_doc_dir} COMPONENT product)
install(DIRECTORY docs/ DESTINATION ${qv_doc_dir} COMPONENT product)
install(DIRECTORY examples/ DESTINATION ${qv_examples_dir} COMPONENT product)
if(NOT WIN32)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK ../${qv_program_dir}/qvfp
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/qvfp\" SYMBOLIC)"
    COMPONENT product)
  install(FILES docs/qvfp-serve.service DESTINATION lib/systemd/system COMPONENT product)
endif()

set(CPACK_PACKAGE_NAME qvfp)
set(CPACK_PACKAGE_VENDOR "qvfp")
set(CPACK_PACKAGE_CONTACT "qvfp maintainers <qvfp@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "QVFP_CYKAVREN_10 fiscal processor driver, qvfp host program and qvfp serve")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_COMPONENTS_ALL product standins)
set(CPACK_COMPONENT_STANDINS_DESCRIPTION
    "Stand-ins for the receipt-printer driver and the signing component")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /opt/qvfp)
  set(CPACK_DEB_COMPONENT_INSTALL OFF)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
endif()
include(CPack)
