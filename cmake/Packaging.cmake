# The Debian package: `cpack -G DEB` in a configured build directory makes kestrin_<version>_<arch>.deb
# from the install rules. Without the program there is nothing to package.
if(NOT KESTRIN_BUILD_UI)
    return()
endif()
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/PackagingWindows.cmake)
    return()
endif()

include(GNUInstallDirs)
# Debian keeps each package's licence at /usr/share/doc/<package>/copyright, and a native
# package's changelog beside it, gzipped without a name or time stamp in it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog debian/changelog @ONLY)
add_custom_command(OUTPUT debian/changelog.gz
    COMMAND gzip -9 -n -k -f debian/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
    COMMENT "Compressing the package's changelog")
add_custom_target(kestrin_changelog ALL DEPENDS debian/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What lintian reports that is meant, each with its reason.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kestrin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrin developers")
set(CPACK_PACKAGE_CONTACT "The Kestrin developers <dev@kestrin.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send typed text as Morse code sound")
# CPack turns each line into a line of the control file's long description.
set(CPACK_PACKAGE_DESCRIPTION "Kestrin plays the text you type as Morse code through the speakers,
at a chosen tone, speed and gap between characters, while a lamp in its
window lights for each dot and dash.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps finds the libraries the program links. Qt loads its X11 platform plugin at run
# time, so that package is named here; fonts come with fontconfig, which Qt's GUI library needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")

include(CPack)
