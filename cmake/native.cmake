# Host build: the portable libraries under sanitizers, host tools and unit tests.
option(SETUP_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(SETUP_SANITIZE)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

# Coverage-guided fuzzing (scripts/fuzz.sh, clang only): our code gets the
# fuzzer's coverage instrumentation and the fuzz targets link libFuzzer
# instead of the plain driver.
option(SETUP_LIBFUZZER "Build the fuzz targets with libFuzzer (clang)" OFF)
if(SETUP_LIBFUZZER)
  target_compile_options(project_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
include(GoogleTest)

include(cmake/sources.cmake)
setup_core_libraries()
# The JPEG library is the tests' reference decoder only: the product decodes
# JPEG with its own code (ui/picture_jpeg*.cpp).
find_package(JPEG REQUIRED)

add_subdirectory(tools ${CMAKE_BINARY_DIR}/tools)

# The archive walk over a ZIP in memory, through the unzip library: used by
# the native tests and the archive fuzz target.
find_package(ZLIB REQUIRED)
find_path(MINIZIP_INCLUDE_DIR minizip/unzip.h REQUIRED)
find_library(MINIZIP_LIBRARY minizip REQUIRED)
add_library(archive_parse STATIC payload/archive_parse.cpp)
target_include_directories(archive_parse PRIVATE ${MINIZIP_INCLUDE_DIR}/minizip)
target_link_libraries(archive_parse PUBLIC payload_core ${MINIZIP_LIBRARY} ZLIB::ZLIB)
add_subdirectory(tests/native)
