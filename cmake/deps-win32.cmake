# Dependencies of the Windows builds: zlib and minizip's unzip part compiled
# here from Debian's source package, which scripts/fetch-sources.sh unpacks
# into the build tree. (JPEG pictures are decoded by our own code.)
include(ExternalProject)

set(SETUP_SRC_CACHE ${CMAKE_BINARY_DIR}/_deps/src)
execute_process(
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/fetch-sources.sh ${SETUP_SRC_CACHE}
  RESULT_VARIABLE fetchResult)
if(NOT fetchResult EQUAL 0)
  message(FATAL_ERROR "Could not unpack the zlib source package "
    "(run scripts/install-deps.sh as root first: it adds the deb-src entry).")
endif()

# zlib compiled here from the same source package as minizip (the version
# libz-mingw-w64-dev ships): that package's library is built for speed with
# unwind tables, about 15 KB more in the stub than the same code at -Os with
# one section per function. Every Windows target links it as ZLIB::ZLIB.
set(ZLIB_SOURCE_DIR ${SETUP_SRC_CACHE}/zlib)
add_library(zlib STATIC)
foreach(name adler32 compress deflate gzclose gzlib gzread gzwrite infback inffast inflate
             inftrees trees uncompr zutil)
  target_sources(zlib PRIVATE ${ZLIB_SOURCE_DIR}/${name}.c)
endforeach()
# zlib's crc32 and crc32_z come from our CRC-32 (payload/crc32.cpp, in
# payload_core), whose tables are computed at the first call: crc32.c and
# its 5 KB of stored tables stay out of the programs.
target_sources(zlib PRIVATE ${CMAKE_SOURCE_DIR}/payload/crc32_zlib_win.cpp)
target_include_directories(zlib SYSTEM PUBLIC ${ZLIB_SOURCE_DIR})
target_compile_options(zlib PRIVATE -w -ffunction-sections -fdata-sections
  $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>:-fno-asynchronous-unwind-tables>)
# inflate is built without gzip header support (zlib's own NO_GZIP option,
# 1.5 KB less): every stream here is raw deflate inside a ZIP entry.
target_compile_definitions(zlib PRIVATE NO_GZIP)
add_library(ZLIB::ZLIB ALIAS zlib)
# payload_core is made later (sources.cmake); linked by name.
target_link_libraries(zlib PUBLIC payload_core)

set(MINIZIP_DIR ${SETUP_SRC_CACHE}/zlib/contrib/minizip)
add_library(minizip STATIC ${MINIZIP_DIR}/unzip.c ${MINIZIP_DIR}/ioapi.c)
target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_DIR})
target_compile_definitions(minizip PUBLIC NOCRYPT NOUNCRYPT USE_FILE32API)
target_compile_options(minizip PRIVATE -w -ffunction-sections -fdata-sections)
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)

# googletest compiled with the cross compiler.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

# Host tools (form compiler, payload packer, archive checker, setup-pack) are
# built with the host compiler in their own tree and run by this build.
set(HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE:STRING=Release -DCMAKE_TOOLCHAIN_FILE:FILEPATH=
             -DCMAKE_C_COMPILER:FILEPATH=gcc -DCMAKE_CXX_COMPILER:FILEPATH=g++
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${HOST_TOOLS_DIR}/form_compiler ${HOST_TOOLS_DIR}/payload_pack
                   ${HOST_TOOLS_DIR}/zip_check ${HOST_TOOLS_DIR}/setup-pack
  BUILD_ALWAYS ON)
