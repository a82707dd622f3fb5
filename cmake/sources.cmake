# The portable libraries, one per layer: compiled by every preset, they never
# include <windows.h>. Each layer links only the layers below it:
#   frame_core      value model, blocks, text commands, form and record codecs
#   ui_core         picture decoding, widget records and paint rules (frame_core)
#   payload_core    archive entry rules, the product section, shell rules (frame_core)
#   installer_core  brand table, install rules (frame_core)
set(FRAME_CORE_SOURCES
  frame/blocks.cpp
  frame/byte_cursor.cpp
  frame/dll_names.cpp
  frame/form_reader.cpp
  frame/form_writer.cpp
  frame/message_text.cpp
  frame/text_commands.cpp
  frame/window_record.cpp
)
file(GLOB UI_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/*.cpp)
list(FILTER UI_CORE_SOURCES EXCLUDE REGEX "_win\\.cpp$")
set(PAYLOAD_CORE_SOURCES
  payload/crc32.cpp
  payload/entry_rules.cpp
  payload/product_section.cpp
  payload/shell_rules.cpp
)
set(INSTALLER_CORE_SOURCES
  installer/brand_table.cpp
  installer/install_rules.cpp
)

# setup_core_libraries(): the four portable libraries.
function(setup_core_libraries)
  add_library(frame_core STATIC ${FRAME_CORE_SOURCES})
  target_link_libraries(frame_core PUBLIC project_options)
  add_library(ui_core STATIC ${UI_CORE_SOURCES})
  target_link_libraries(ui_core PUBLIC frame_core)
  add_library(payload_core STATIC ${PAYLOAD_CORE_SOURCES})
  target_link_libraries(payload_core PUBLIC frame_core)
  add_library(installer_core STATIC ${INSTALLER_CORE_SOURCES})
  target_link_libraries(installer_core PUBLIC frame_core)
endfunction()
