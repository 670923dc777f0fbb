# Windows: `cpack` in the windows build makes a 64-bit NSIS installer and a .zip of the program and
# its help. The installer installs for the current user alone, with no administrator's consent: in
# %LOCALAPPDATA%\Programs\Kestrin, with a shortcut in the user's Start menu and the uninstaller's
# entry under HKCU. CPack's own installer script installs for every user as an administrator, so
# ours (nsis/NSIS.template.in) takes its place: CPack looks for templates on CMAKE_MODULE_PATH first.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/nsis)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME Kestrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send typed text as Morse code sound")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kestrin)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

# makensis makes 32-bit installers unless told otherwise, and CPack cannot pass it the option.
set(CPACK_NSIS_EXECUTABLE ${PROJECT_SOURCE_DIR}/scripts/makensis64.sh)
set(CPACK_NSIS_PACKAGE_NAME Kestrin)
set(CPACK_NSIS_DISPLAY_NAME Kestrin)
# The program: the Start-menu shortcut's target and the icon of the uninstall entry.
set(CPACK_NSIS_INSTALLED_ICON_NAME kestrin.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_BINARY_DIR}/app/kestrin.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_BINARY_DIR}/app/kestrin.ico)

include(CPack)
