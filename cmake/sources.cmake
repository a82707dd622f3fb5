# The portable core: compiled by both presets, never includes <windows.h>.
set(CORE_SOURCES
  frame/blocks.cpp
)
foreach(optional
    frame/text_commands.cpp frame/message_text.cpp frame/dll_names.cpp
    frame/byte_cursor.cpp frame/form_reader.cpp frame/form_writer.cpp frame/window_record.cpp
    payload/entry_rules.cpp)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${optional})
    list(APPEND CORE_SOURCES ${optional})
  endif()
endforeach()
