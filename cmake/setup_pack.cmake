# setup_pack_program(TARGET [ZIP archive | DIR folder] [BRAND key] [PRODUCT index]
#                    [DEPENDS file ...])
# Packs the program TARGET in place after every link with the host's
# setup-pack (tools/setup_pack_cli.h): the payload archive (a ZIP, or the
# archive setup-pack makes of a folder; DEPENDS names what changes with the
# folder's content), the brand key and product index into its product
# section, the build's icon (SETUP_ICON) and version (SETUP_VERSION) into its
# resources. A brand and product pair that the installer refuses at start is
# packed anyway: the build warns of it at configure time
# (installer/brand_selection.cmake), and tests build such programs on purpose.
set(SETUP_PACK ${HOST_TOOLS_DIR}/setup-pack)

function(setup_pack_program target)
  cmake_parse_arguments(ARG "" "ZIP;DIR;BRAND;PRODUCT" "DEPENDS" ${ARGN})
  set(args --stub $<TARGET_FILE:${target}> -o $<TARGET_FILE:${target}>
      --icon ${SETUP_ICON} --version ${SETUP_VERSION} --allow-refused-brand)
  if(ARG_ZIP)
    list(APPEND args --zip ${ARG_ZIP})
  elseif(ARG_DIR)
    list(APPEND args --dir ${ARG_DIR})
  else()
    message(FATAL_ERROR "setup_pack_program(${target}): ZIP or DIR is required")
  endif()
  if(DEFINED ARG_BRAND)
    list(APPEND args --brand ${ARG_BRAND})
  endif()
  if(DEFINED ARG_PRODUCT)
    list(APPEND args --product ${ARG_PRODUCT})
  endif()
  add_custom_command(TARGET ${target} POST_BUILD COMMAND ${SETUP_PACK} ${args} VERBATIM)
  # Packed again when anything it packs changes.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SETUP_PACK} ${SETUP_ICON} ${ARG_ZIP} ${ARG_DEPENDS})
  add_dependencies(${target} host_tools)
endfunction()
