# Build step: checks that the payload ZIP can be installed by setup.exe.
# cmake -DZIP_CHECK=tool -DARCHIVE=zip -DPRODUCT=name -DSTAMP=file -P this
# On success writes STAMP; otherwise removes it and fails with zip_check's
# message, which names the entry at fault.
file(REMOVE ${STAMP})
if(PRODUCT STREQUAL "")
  # The brand selection names no product (it warned at configure time): only
  # the archive itself can be checked.
  set(PRODUCT_ARG)
else()
  set(PRODUCT_ARG ${PRODUCT})
endif()
execute_process(COMMAND ${ZIP_CHECK} ${ARCHIVE} ${PRODUCT_ARG}
  RESULT_VARIABLE rc ERROR_VARIABLE problem OUTPUT_VARIABLE problem)
if(NOT rc EQUAL 0)
  string(STRIP "${problem}" problem)
  if(problem STREQUAL "")
    set(problem "${ZIP_CHECK} did not run: ${rc}")
  endif()
  message(FATAL_ERROR "setup.exe cannot install the payload ZIP ${ARCHIVE}:\n"
    "  ${problem}\n"
    "Fix the archive, or choose another with -DSETUP_PAYLOAD_ZIP=PATH; the archive's root "
    "must hold ${PRODUCT}.exe (the product of -DSETUP_BRAND_KEY and -DSETUP_PRODUCT_INDEX).")
endif()
file(TOUCH ${STAMP})
