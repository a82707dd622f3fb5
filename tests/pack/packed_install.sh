#!/usr/bin/env bash
# A second product packed for another brand row, from a folder, installed end
# to end under Wine (tests/pack/packed_installer_tests_win.cpp), unsigned and
# signed with a test certificate: the appended certificate table must not
# disturb the installer's look-up of its payload.
#   RUN      the tree's Wine wrapper; TESTS: packed_installer_tests.exe
#   PRODUCT_EXE  a Windows program to stand in for the product
. "$(dirname "$0")/pack_test_lib.sh"

cd "$WORK"
product=$WORK/PemaroNotes
mkdir -p "$product/data/图片"
cp "$PRODUCT_EXE" "$product/PemaroNotes.exe"
printf '说明\r\n' >"$product/说明.txt"
printf 'data\n' >"$product/data/readme.txt"
head -c 100000 /dev/urandom >"$product/data/图片/noise.bin"
files='PemaroNotes.exe|说明.txt|data\readme.txt|data\图片\noise.bin'

"$PACK" --stub "$TREE/setup.exe" --dir "$product" --brand 2 --product 1 --version 2.5.0.7 -o notes.exe ||
  fail "packing the second product"
make_test_certificate
"$PACK" --stub notes.exe --sign cert.pfx --pass-file pass.txt -o notes-signed.exe || fail "signing"
osslsigncode verify -in notes-signed.exe -CAfile cert.pem >verify.log 2>&1 ||
  fail "the signed installer does not verify: $(cat verify.log)"

export PACKED_PRODUCT=PemaroNotes PACKED_BRAND=2 PACKED_VERSION=2.5.0.7 PACKED_FILES=$files
for exe in notes.exe notes-signed.exe; do
  PACKED_SETUP=$(windows_path "$WORK/$exe") "$RUN" "$TESTS" || fail "$exe under Wine"
done
finish
