# A cross build cannot use the host's GoogleTest libraries: build Debian's GoogleTest source
# (package googletest, /usr/src/googletest) with the cross compiler instead; it defines the
# same target names that find_package(GTest) gives (GTest::gtest, GTest::gtest_main).
set(MORVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${MORVANE_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest source in ${MORVANE_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${MORVANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
