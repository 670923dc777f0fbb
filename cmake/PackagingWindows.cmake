# Windows: `cpack` in the windows build makes a 64-bit NSIS installer (the program and its help in
# Program Files, a Start-menu shortcut, an uninstaller and its entry in the installed programs)
# and a .zip of the same two files. CPack's installer script installs for every user, as an
# administrator; one for the current user alone would need an installer template of our own.
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME Kestrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send typed text as Morse code sound")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kestrin)
set(CPACK_PACKAGE_EXECUTABLES kestrin Kestrin)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

# makensis makes 32-bit installers unless told otherwise, and CPack cannot pass it the option.
set(CPACK_NSIS_EXECUTABLE ${PROJECT_SOURCE_DIR}/scripts/makensis64.sh)
set(CPACK_NSIS_PACKAGE_NAME Kestrin)
set(CPACK_NSIS_DISPLAY_NAME Kestrin)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_INSTALLED_ICON_NAME kestrin.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_BINARY_DIR}/app/kestrin.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_BINARY_DIR}/app/kestrin.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)

include(CPack)
