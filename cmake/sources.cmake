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
)
