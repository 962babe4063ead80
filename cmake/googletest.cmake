# googletest.cmake: GoogleTest from the sources Debian's googletest package
# installs (or GTEST_SOURCE_DIR), built with the project's own compiler so the
# same test files build natively and for Windows.
find_path(GTEST_SOURCE_DIR googletest/CMakeLists.txt
  HINTS $ENV{GTEST_SOURCE_DIR} PATHS /usr/src/googletest NO_CMAKE_FIND_ROOT_PATH)
if(NOT GTEST_SOURCE_DIR)
  message(FATAL_ERROR "GoogleTest sources not found: install Debian's googletest or set GTEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
