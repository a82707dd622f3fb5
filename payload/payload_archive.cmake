# The payload ZIP that setup-pack packs into setup.exe's product section. A
# reseller build names its own archive and product; the build checks the
# archive with zip_check before packing it and stops, naming the entry at
# fault, when the installer could not install it completely.
set(SETUP_PAYLOAD_ZIP ${DEMO_PAYLOAD_ZIP} CACHE FILEPATH
  "ZIP archive that setup.exe carries and installs (default: the demo product)")
# SETUP_PRODUCT_NAME comes from the brand selection (installer/brand_selection.cmake).
get_filename_component(SETUP_PAYLOAD_ZIP_PATH ${SETUP_PAYLOAD_ZIP} ABSOLUTE)
if(NOT SETUP_PAYLOAD_ZIP_PATH STREQUAL DEMO_PAYLOAD_ZIP AND NOT EXISTS ${SETUP_PAYLOAD_ZIP_PATH})
  message(FATAL_ERROR "SETUP_PAYLOAD_ZIP: no such file: ${SETUP_PAYLOAD_ZIP_PATH}")
endif()

set(PAYLOAD_CHECK_SCRIPT ${CMAKE_SOURCE_DIR}/payload/check_payload_zip.cmake)
set(payload_check_stamp ${CMAKE_BINARY_DIR}/payload_checked.stamp)
add_custom_command(OUTPUT ${payload_check_stamp}
  COMMAND ${CMAKE_COMMAND} -DZIP_CHECK=${HOST_TOOLS_DIR}/zip_check
          -DARCHIVE=${SETUP_PAYLOAD_ZIP_PATH} -DPRODUCT=${SETUP_PRODUCT_NAME}
          -DSTAMP=${payload_check_stamp} -P ${PAYLOAD_CHECK_SCRIPT}
  DEPENDS ${SETUP_PAYLOAD_ZIP_PATH} ${PAYLOAD_CHECK_SCRIPT} host_tools ${HOST_TOOLS_DIR}/zip_check
  COMMENT "Checking the payload ZIP ${SETUP_PAYLOAD_ZIP_PATH}"
  VERBATIM)
add_custom_target(payload_check ALL DEPENDS ${payload_check_stamp})
if(SETUP_PAYLOAD_ZIP_PATH STREQUAL DEMO_PAYLOAD_ZIP)
  add_dependencies(payload_check demo_payload)
endif()
