# Everything `cmake --install` and `cpack -G DEB` add beyond the program and its codec
# module: man pages built from man/*.scd with scdoc, the README and the documents it
# links to, the examples, the Debian copyright and changelog files, and the package
# description.
# A page source may use @PROJECT_VERSION@, @QUEN_CODEC_MODULE_DIR@,
# @QUEN_CODEC_MODULE_FROM_BINDIR@ and @QUEN_DOC_DIR@.

set(QUEN_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quengreeting)
set(QUEN_PACKAGE_MAINTAINER "The QuenGreeting developers <quengreeting@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

if(TARGET quen)
    install(TARGETS quen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The release date of man pages and changelog: SOURCE_DATE_EPOCH when set (a
# reproducible package build), else the time of configuration.
string(TIMESTAMP QUEN_DATE_EPOCH "%s" UTC)
string(TIMESTAMP QUEN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# --- Man pages ---------------------------------------------------------------------
find_program(SCDOC_EXECUTABLE scdoc REQUIRED)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(QUEN_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(QUEN_DOC_FULL_DIR ${CMAKE_INSTALL_FULL_DATAROOTDIR}/doc/quengreeting)
# Rewritten only when a value changes, so the pages are rebuilt exactly then.
file(CONFIGURE OUTPUT ${QUEN_MAN_DIR}/values.cmake CONTENT [[
set(SCDOC_EXECUTABLE "@SCDOC_EXECUTABLE@")
set(GZIP_EXECUTABLE "@GZIP_EXECUTABLE@")
set(QUEN_DATE_EPOCH "@QUEN_DATE_EPOCH@")
set(PROJECT_VERSION "@PROJECT_VERSION@")
set(QUEN_CODEC_MODULE_DIR "@CMAKE_INSTALL_FULL_LIBDIR@/quengreeting")
set(QUEN_CODEC_MODULE_FROM_BINDIR "@QUEN_CODEC_MODULE_FROM_BINDIR@")
set(QUEN_DOC_DIR "@QUEN_DOC_FULL_DIR@")
]] @ONLY)

file(GLOB QUEN_MAN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.scd)
set(QUEN_MAN_PAGES)
foreach(source IN LISTS QUEN_MAN_SOURCES)
    get_filename_component(page ${source} NAME_WLE)
    string(REGEX MATCH "[^.]+$" section ${page})
    set(output ${QUEN_MAN_DIR}/${page}.gz)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DVALUES=${QUEN_MAN_DIR}/values.cmake -DSOURCE=${source}
                -DOUTPUT_DIR=${QUEN_MAN_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/BuildManPage.cmake
        DEPENDS ${source} ${QUEN_MAN_DIR}/values.cmake
                ${PROJECT_SOURCE_DIR}/cmake/BuildManPage.cmake
        COMMENT "Building man page ${page}"
        VERBATIM)
    list(APPEND QUEN_MAN_PAGES ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

# --- Documentation -----------------------------------------------------------------
# The copyright file in Debian's machine-readable format carries LICENSE's text from
# its first paragraph on, indented, with "." for empty lines.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(FIND "${license}" "Permission is hereby granted" start)
string(SUBSTRING "${license}" ${start} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " QUEN_LICENSE_PARAGRAPH " ${license}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in
    ${PROJECT_BINARY_DIR}/doc/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
    ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${PROJECT_BINARY_DIR}/doc/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog
    VERBATIM)
add_custom_target(quen_docs ALL DEPENDS ${QUEN_MAN_PAGES} ${PROJECT_BINARY_DIR}/doc/changelog.gz)

install(FILES README.md ${PROJECT_BINARY_DIR}/doc/copyright
    ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${QUEN_DOC_DIR})
# docs/ keeps its name, so the README's links and the guide's pictures still resolve.
install(DIRECTORY docs/ DESTINATION ${QUEN_DOC_DIR}/docs)
install(DIRECTORY examples/ DESTINATION ${QUEN_DOC_DIR}/examples)

# --- Debian package ----------------------------------------------------------------
set(CPACK_PACKAGE_NAME quengreeting)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUEN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert speech recordings into voicemail data files")
set(CPACK_PACKAGE_DESCRIPTION
    "QuenGreeting turns 8 kHz 16-bit mono PCM WAV recordings into the compressed
data files that a voicemail and auto-attendant system plays back: one greeting,
one voicemail message with its header, or every greeting named in an XML
auto-attendant template. Audio is encoded as G.711 A-law, G.711 mu-law or,
through libavcodec, G.723.1 at 6.3 kbit/s.")
set(CPACK_GENERATOR DEB)
# The program looks for its codec module where it was configured to be installed.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 0)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps reads every ELF file in the package, the codec module included, so
# libavcodec is among the Depends, and libseccomp2, which only `quen` links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
