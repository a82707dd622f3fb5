# Run after a setup program is linked and packed (cmake -P): prints the size
# of its stub, the program less what a product brings with it, i.e. the
# payload archive, the compiled form data (with the skin pictures inside it)
# and the other pictures (the "完成" picture, the icon):
#   stub: N bytes (setup.exe T - payload P - form F - pictures I)
# EXE, PAYLOAD and FORM name files; PICTURES is a list of files.
function(file_size path out)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "stub size: no such file: ${path}")
  endif()
  file(SIZE "${path}" size)
  set(${out} ${size} PARENT_SCOPE)
endfunction()

file_size("${EXE}" total)
file_size("${PAYLOAD}" payload)
file_size("${FORM}" form)
set(pictures 0)
foreach(picture IN LISTS PICTURES)
  file_size("${picture}" size)
  math(EXPR pictures "${pictures} + ${size}")
endforeach()
math(EXPR stub "${total} - ${payload} - ${form} - ${pictures}")
get_filename_component(name "${EXE}" NAME)
message("stub: ${stub} bytes (${name} ${total} - payload ${payload} - form ${form} - pictures ${pictures})")
