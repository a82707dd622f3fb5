# The brand row and product of this build. A reseller picks another row of
# the brand table (installer/brand_table.cpp) and another product in it; the
# product's name, read from the table, is what the payload must hold at its
# root as <name>.exe. A pair that the installer would refuse at start (no
# such product: runtime error 1, an index below 1: runtime error 4) gives a
# warning here, since such a setup.exe can only show the error box.
set(SETUP_BRAND_KEY 0 CACHE STRING "Brand key: the row of the brand table (0 = the maker's own)")
set(SETUP_PRODUCT_INDEX 22 CACHE STRING "1-based position of the installed product in the brand's product list")
foreach(var SETUP_BRAND_KEY SETUP_PRODUCT_INDEX)
  if(NOT ${var} MATCHES "^-?[0-9]+$")
    message(FATAL_ERROR "${var} must be an integer, not '${${var}}'")
  endif()
endforeach()

file(STRINGS ${CMAKE_SOURCE_DIR}/installer/brand_table.cpp brand_rows ENCODING UTF-8
  REGEX "^    {-?[0-9]+, \".*\", \".*\"},$")
set(SETUP_PRODUCT_NAME "")
set(brand_list "")
set(brand_found FALSE)
foreach(row IN LISTS brand_rows)
  string(REGEX MATCH "^    {(-?[0-9]+), \"(.*)\", \"(.*)\"},$" _ "${row}")
  if(CMAKE_MATCH_1 EQUAL SETUP_BRAND_KEY)
    set(brand_found TRUE)
    set(brand_list "${CMAKE_MATCH_3}")
  endif()
endforeach()
if(NOT brand_rows)
  message(FATAL_ERROR "Could not read the brand table from installer/brand_table.cpp")
endif()
string(REPLACE "|" ";" brand_products "${brand_list}")
list(LENGTH brand_products brand_count)
if(SETUP_PRODUCT_INDEX LESS 1)
  message(WARNING "SETUP_PRODUCT_INDEX ${SETUP_PRODUCT_INDEX} is below 1: setup.exe will end at start "
    "with runtime error 4.")
elseif(SETUP_PRODUCT_INDEX GREATER brand_count)
  if(brand_found)
    set(why "brand ${SETUP_BRAND_KEY} lists ${brand_count} products")
  else()
    set(why "the brand table has no row ${SETUP_BRAND_KEY}")
  endif()
  message(WARNING "SETUP_PRODUCT_INDEX ${SETUP_PRODUCT_INDEX}: ${why}; setup.exe will end at start "
    "with runtime error 1.")
else()
  math(EXPR product_at "${SETUP_PRODUCT_INDEX} - 1")
  list(GET brand_products ${product_at} SETUP_PRODUCT_NAME)
endif()

# The installer's application icon (an .ico holding a 48 x 48 image) and the
# version its version resource states, for Explorer.
set(SETUP_ICON ${CMAKE_SOURCE_DIR}/assets/skin/icon48.ico CACHE FILEPATH
  "Icon file of setup.exe (must hold a 48 x 48 image)")
set(SETUP_VERSION 1.0.0.0 CACHE STRING "File and product version of setup.exe (a.b.c.d)")
if(NOT SETUP_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
  message(FATAL_ERROR "SETUP_VERSION must read like 1.2.3.4, not '${SETUP_VERSION}'")
endif()
get_filename_component(SETUP_ICON ${SETUP_ICON} ABSOLUTE)
