# GoogleTest for a cross build: Debian ships its sources (package googletest) but no library for
# another target, so it is built here; it names its targets GTest::gtest as find_package would. Included
# before our warnings are switched on: they are for our own code.
set(KESTRIN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTRIN_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
