# Test of the build's payload check (payload/check_payload_zip.cmake): packs
# small archives with payload_pack and runs the check on each. An installable
# archive must pass and leave the stamp; every other must stop the build step
# with zip_check's message naming the entry at fault, and leave no stamp.
#
# cmake -DPACK=payload_pack -DZIP_CHECK=zip_check -DCHECK_SCRIPT=script
#       -DSOURCE=any_small_file -DWORK=scratch_dir -P payload_check_test.cmake
cmake_minimum_required(VERSION 3.25)

# One case per line: name | manifest entries (","-separated) | expected
# message (a regular expression; "" for an archive that must pass).
set(t "2018-05-01 17:27:02")
set(cases
  "installable|folder\tshare/\t${t}\t0x10,file\tshare/设置.ini\tSOURCE\t${t}\t0x20,file\tVantrelCorvane.exe\tSOURCE\t${t}\t0x20|"
  "missing_folder_entry|file\tVantrelCorvane.exe\tSOURCE\t${t}\t0x20,file\tshare/VantrelRes.dll\tSOURCE\t${t}\t0x20|entry 1 \"share/VantrelRes.dll\": the file's folder has no earlier folder entry"
  "folder_after_its_file|file\tshare/设置.ini\tSOURCE\t${t}\t0x20,folder\tshare/\t${t}\t0x10,file\tVantrelCorvane.exe\tSOURCE\t${t}\t0x20|entry 0 \"share/设置.ini\": the file's folder has no earlier folder entry"
  "product_not_at_root|folder\tbin/\t${t}\t0x10,file\tbin/VantrelCorvane.exe\tSOURCE\t${t}\t0x20|no file entry \"VantrelCorvane.exe\": the product executable is missing"
  "folder_without_directory_attribute|folder\tshare/\t${t}\t0x20,file\tVantrelCorvane.exe\tSOURCE\t${t}\t0x20|entry 0 \"share/\": folder entries need"
  "not_a_zip|NOT_A_ZIP|: not a ZIP archive")

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(failures "")
foreach(row IN LISTS cases)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 name)
  string(FIND "${row}" "|" first)
  string(FIND "${row}" "|" last REVERSE)
  math(EXPR start "${first} + 1")
  math(EXPR length "${last} - ${start}")
  string(SUBSTRING "${row}" ${start} ${length} entries)
  math(EXPR start "${last} + 1")
  string(SUBSTRING "${row}" ${start} -1 expected)

  set(archive ${WORK}/${name}.zip)
  set(stamp ${WORK}/${name}.stamp)
  if(entries STREQUAL "NOT_A_ZIP")
    set(archive ${SOURCE})
  else()
    string(REPLACE "," "\n" manifest "${entries}")
    string(REPLACE "SOURCE" "${SOURCE}" manifest "${manifest}")
    file(WRITE ${WORK}/${name}.manifest "${manifest}\n")
    execute_process(COMMAND ${PACK} ${WORK}/${name}.manifest ${archive}
      RESULT_VARIABLE rc ERROR_VARIABLE packError)
    if(NOT rc EQUAL 0)
      string(APPEND failures "${name}: payload_pack failed: ${packError}\n")
      continue()
    endif()
  endif()

  execute_process(COMMAND ${CMAKE_COMMAND} -DZIP_CHECK=${ZIP_CHECK} -DARCHIVE=${archive}
      -DPRODUCT=VantrelCorvane -DSTAMP=${stamp} -P ${CHECK_SCRIPT}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(expected STREQUAL "")
    if(NOT rc EQUAL 0 OR NOT EXISTS ${stamp})
      string(APPEND failures "${name}: an installable archive was refused:\n${out}\n")
    endif()
  elseif(rc EQUAL 0 OR EXISTS ${stamp})
    string(APPEND failures "${name}: the check passed an archive it must refuse\n")
  elseif(NOT out MATCHES "setup.exe cannot install the payload ZIP" OR NOT out MATCHES "${expected}")
    string(APPEND failures "${name}: expected \"${expected}\" in:\n${out}\n")
  endif()
endforeach()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
