# Runs the installer's window test with drive D: as the test names it:
#   cmake -DPREFIX=wineprefix -DRUN=wine-run.sh -DTESTS=win32_tests.exe -DDRIVE=C|D -P this
# DRIVE C: the prefix's D: link is moved aside for the run (no drive D:), so
# the default folder must start with "C:\". DRIVE D: the link stays (a folder
# of the build tree with room), so it must start with "D:\".
set(link ${PREFIX}/dosdevices/d:)
set(aside ${PREFIX}/dosdevices/d-aside)
if(DRIVE STREQUAL "C")
  file(RENAME ${link} ${aside})
endif()
set(ENV{SETUP_EXPECT_DRIVE} ${DRIVE})
execute_process(COMMAND ${RUN} ${TESTS} --gtest_filter=InstallerE2E.WindowIsBorderless*
  RESULT_VARIABLE rc)
if(DRIVE STREQUAL "C")
  file(RENAME ${aside} ${link})
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installer's window test failed with drive ${DRIVE}: (${rc})")
endif()
