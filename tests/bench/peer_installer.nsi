; The peer installer of the installer benchmark. Built by makensis with
;   -DOUTFILE=<exe> -DPAYLOAD_FILES=<.nsh with SetOutPath/File lines> -DPRODUCT=<name>
;   -DTARGET=<x86-unicode or amd64-unicode, the processor setup.exe is built for>
; it installs the payload's files into $INSTDIR and makes the same desktop
; shortcut as setup.exe. The benchmark runs it silently: /S /D=<folder>.
Unicode true
Target ${TARGET}
SetCompressor zlib
RequestExecutionLevel user
Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "C:\${PRODUCT}"

Section
  !include "${PAYLOAD_FILES}"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
SectionEnd
