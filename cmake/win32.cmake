# Cross build (i386 or x86-64): setup.exe, the test programs and the
# Wine-run tests.
enable_language(ASM RC)
include(cmake/deps-win32.cmake)
include(cmake/embed.cmake)
include(cmake/setup_pack.cmake)
include(GoogleTest)

# Size matters for an installer stub: sections that nothing references are
# dropped, and everything is linked statically so that only Windows' own
# DLLs are imported.
target_compile_options(project_options INTERFACE -ffunction-sections -fdata-sections)
target_link_options(project_options INTERFACE -static -Wl,--gc-sections
  $<$<CONFIG:MinSizeRel,Release>:-s>)

include(cmake/sources.cmake)
setup_core_libraries()

# The runtime, the code setup.exe is made of, is built for size beyond the
# shared options (tests and tools keep the defaults):
# - no C++ exceptions: nothing in it throws, and without them the unwinder,
#   the exception runtime and the thread-local storage and pthread code it
#   needs stay out; frame/terminate_win.cpp gives operator new a failure
#   path of its own (the frame's allocation error) and static locals a guard
#   that needs none of that;
# - std::string and std::wstring instantiated where used
#   (frame/runtime_config_win.h) rather than taken whole from the library's
#   explicit instantiations, which come with every member and its unwind data;
# - printf from the system's C runtime DLL, not the toolchain's own
#   (frame/runtime_config_win.h);
# - on i386 no unwind tables: with exceptions gone nothing reads them. The
#   x86-64 ABI needs them (longjmp there unwinds through them), so they stay.
add_library(runtime_options INTERFACE)
target_compile_options(runtime_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -include ${CMAKE_SOURCE_DIR}/frame/runtime_config_win.h>
  $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>:-fno-asynchronous-unwind-tables>)
function(setup_runtime_target target)
  target_link_libraries(${target} PRIVATE runtime_options)
endfunction()
# Other programs that link the runtime's libraries instantiate strings alike.
function(setup_runtime_strings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-include ${CMAKE_SOURCE_DIR}/frame/runtime_strings_win.h>)
endfunction()
foreach(lib frame_core ui_core payload_core installer_core minizip)
  setup_runtime_target(${lib})
endforeach()

set(FRAME_WIN_SOURCES
  frame/program_frame_win.cpp
  frame/system_functions_win.cpp
  frame/dll_commands_win.cpp
  frame/core_commands_win.cpp
  frame/forms_win.cpp
  frame/window_loader_win.cpp
  frame/unit_properties_win.cpp
  frame/window_unit_win.cpp
  frame/window_values_win.cpp
  frame/wide_text_win.cpp
  frame/input_events_win.cpp
)
add_library(frame_win STATIC ${FRAME_WIN_SOURCES})
target_link_libraries(frame_win PUBLIC frame_core ole32 oleaut32 uuid)
setup_runtime_target(frame_win)
# The process entry of programs built on the frame (tests use their own main).
add_library(frame_entry OBJECT frame/process_entry_win.cpp frame/terminate_win.cpp)
target_link_libraries(frame_entry PUBLIC frame_win)
setup_runtime_target(frame_entry)
# frame/process_entry_win.cpp is the whole start-up: none of the toolchain's.
# That leaves nothing to patch references to data in DLLs at run time, so
# the linker must refuse them rather than leave such patches behind. The
# entry is named for every subsystem alike (C names carry a leading
# underscore on i386), and a link that cannot find it fails instead of
# entering at the start of the code.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(FRAME_ENTRY_SYMBOL _WinMainCRTStartup)
else()
  set(FRAME_ENTRY_SYMBOL WinMainCRTStartup)
endif()
target_link_options(frame_entry INTERFACE -nostartfiles -Wl,--disable-auto-import -Wl,--fatal-warnings
                    -Wl,-e,${FRAME_ENTRY_SYMBOL})

# The skin widgets: the unit types of pictures, labels, buttons, progress bar
# and timer (every ui/*_win.cpp).
file(GLOB UI_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/*_win.cpp)
add_library(ui_win STATIC ${UI_WIN_SOURCES})
target_link_libraries(ui_win PUBLIC frame_win ui_core gdi32)
setup_runtime_target(ui_win)

# Archive reading and extraction, the ZIP unit and worker threads.
add_library(payload_win STATIC
  payload/archive_reader_win.cpp
  payload/entry_finisher_win.cpp
  payload/entry_writer_win.cpp
  payload/product_section_win.cpp
  payload/zip_extract_win.cpp
  payload/zip_unit_win.cpp
  payload/threads_win.cpp
  payload/shell_commands_win.cpp
)
target_link_libraries(payload_win PUBLIC frame_win payload_core minizip shell32 ole32)
setup_runtime_target(payload_win)

# The Wine wrapper every Windows test runs under, with the loader of this
# tree's flavour.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SETUP_FLAVOUR win64)
else()
  set(SETUP_FLAVOUR win32)
endif()
configure_file(cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# setup-pack.exe: the packer as a Windows console program, the same portable
# code as the host's setup-pack with Windows file access and code page 936.
include(tools/setup_pack_sources.cmake)
add_executable(setup_pack_win ${SETUP_PACK_SOURCES}
  tools/setup_pack_win.cpp
  tools/host_files_win.cpp
  tools/gbk_text_win.cpp
  tools/gbk_display_win.cpp
  tools/payload_zip_check.cpp)
set_target_properties(setup_pack_win PROPERTIES OUTPUT_NAME setup-pack
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(setup_pack_win PRIVATE -municode)
target_link_libraries(setup_pack_win PRIVATE installer_core payload_core ZLIB::ZLIB)

# The demo product and the payload ZIP that setup.exe carries (checked first).
add_subdirectory(assets/demo)
include(installer/brand_selection.cmake)
include(payload/payload_archive.cmake)

add_subdirectory(installer)
add_subdirectory(tests/win32)
add_subdirectory(tests/static)
add_subdirectory(tests/bench)
