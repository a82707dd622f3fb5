# Host build: the portable libraries under sanitizers, host tools and unit tests.
option(SETUP_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(SETUP_SANITIZE)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
include(GoogleTest)

include(cmake/sources.cmake)
find_package(JPEG REQUIRED)
setup_core_libraries(JPEG::JPEG)

add_subdirectory(tools ${CMAKE_BINARY_DIR}/tools)
add_subdirectory(tests/native)
