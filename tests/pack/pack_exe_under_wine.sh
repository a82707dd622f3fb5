#!/usr/bin/env bash
# setup-pack.exe, the packer built for Windows, run under Wine: the same
# bytes as the build from the demo ZIP, and as the host's setup-pack from
# the demo laid out as a folder; a refusal leaves nothing behind.
#   RUN  the tree's Wine wrapper; PACK_EXE: setup-pack.exe
. "$(dirname "$0")/pack_test_lib.sh"

setup=$TREE/setup.exe
"$RUN" "$PACK_EXE" --stub "$(windows_path "$setup")" --zip "$(windows_path "$DEMO_ZIP")" \
  -o "$(windows_path "$WORK/zip.exe")" || fail "setup-pack.exe failed on the demo ZIP"
same_file "setup-pack.exe, demo ZIP" "$WORK/zip.exe" "$setup"

stage_demo_folder "$WORK/演示 folder"
"$RUN" "$PACK_EXE" --stub "$(windows_path "$setup")" --dir "$(windows_path "$WORK/演示 folder")" --brand 0 \
  --product 22 -o "$(windows_path "$WORK/folder.exe")" || fail "setup-pack.exe failed on the demo folder"
same_file "setup-pack.exe, demo folder" "$WORK/folder.exe" "$DEMO_FOLDER_SETUP"

rc=0
"$RUN" "$PACK_EXE" --stub "$(windows_path "$setup")" --zip "$(windows_path "$DEMO_ZIP")" --brand 2 --product 1 \
  -o "$(windows_path "$WORK/refused.exe")" 2>"$WORK/refused.log" || rc=$?
[ "$rc" -eq 1 ] || fail "a refused brand: exit status $rc"
grep -q "no file entry \"PemaroNotes.exe\"" "$WORK/refused.log" || fail "no reason given: $(cat "$WORK/refused.log")"
[ -z "$(find "$WORK" -maxdepth 1 -name 'refused*.exe*')" ] || fail "a refusal left files behind"
finish
