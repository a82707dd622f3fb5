# The portable core: compiled by both presets, never includes <windows.h>.
set(CORE_SOURCES
  frame/blocks.cpp
  frame/byte_cursor.cpp
  frame/dll_names.cpp
  frame/form_reader.cpp
  frame/form_writer.cpp
  frame/message_text.cpp
  frame/text_commands.cpp
  frame/window_record.cpp
  payload/entry_rules.cpp
  installer/brand_table.cpp
  installer/install_rules.cpp
)
# Picture decoding, picture geometry and window-shape runs.
file(GLOB UI_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/*.cpp)
list(FILTER UI_CORE_SOURCES EXCLUDE REGEX "_win\\.cpp$")
list(APPEND CORE_SOURCES ${UI_CORE_SOURCES})
