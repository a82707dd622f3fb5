# Checks that setup.exe carries the payload ZIP as one byte-array constant:
# dimension count 1, the ZIP's length, then the ZIP byte for byte.
# cmake -DEXE=setup.exe -DZIP=payload.zip -P check_embedded_payload.cmake
file(SIZE ${ZIP} length)
math(EXPR lengthHex "${length}" OUTPUT_FORMAT HEXADECIMAL)
string(SUBSTRING "${lengthHex}" 2 -1 lengthHex)
string(LENGTH "${lengthHex}" digits)
while(digits LESS 8)
  string(PREPEND lengthHex "0")
  math(EXPR digits "${digits} + 1")
endwhile()
string(TOLOWER "${lengthHex}" lengthHex)
# The length as a little-endian 32-bit value.
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" lengthLe "${lengthHex}")

file(READ ${ZIP} zipHex HEX)
file(READ ${EXE} exeHex HEX)
string(FIND "${exeHex}" "01000000${lengthLe}${zipHex}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${EXE} does not carry ${ZIP} (${length} bytes) as a byte-array constant")
endif()
math(EXPR offset "${at} / 2")
message(STATUS "payload block found at file offset ${offset}, ${length} bytes")
