#!/usr/bin/env bash
# setup-pack refuses what the installer could not install, or could not
# start with, naming what is at fault, with exit status 1 and nothing
# written: an output file that was there stays as it was and no temporary
# file is left. One case per line of each table.
. "$(dirname "$0")/pack_test_lib.sh"

setup=$TREE/setup.exe
out=$WORK/out
mkdir -p "$out"
t="2018-05-01 17:27:02"
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }

# Runs setup-pack with the arguments after the expected message (an
# extended regular expression) and checks the refusal.
expect_refusal() {  # expect_refusal CASE MESSAGE ARGS...
  local name=$1 message=$2
  shift 2
  printf 'earlier installer' >"$out/MySetup.exe"
  local rc=0
  "$PACK" "$@" -o "$out/MySetup.exe" 2>"$WORK/$name.err" || rc=$?
  [ "$rc" -eq 1 ] || fail "$name: exit status $rc, not 1"
  grep -Eq -- "$message" "$WORK/$name.err" || fail "$name: no \"$message\" in: $(cat "$WORK/$name.err")"
  grep -q "nothing written" "$WORK/$name.err" || fail "$name: does not say that nothing was written"
  [ "$(cat "$out/MySetup.exe")" = "earlier installer" ] || fail "$name: the earlier output was changed"
  [ "$(ls -A "$out")" = MySetup.exe ] || fail "$name: left in the output folder: $(ls -A "$out")"
}

# Archives: made with payload_pack from manifests, some then patched.
base="folder	share/	$t	0x10
file	share/设置.ini	$SOURCE	$t	0x20
file	VantrelCorvane.exe	$SOURCE	$t	0x20"
make_zip() {  # make_zip NAME MANIFEST
  printf '%s\n' "$2" >"$WORK/$1.manifest"
  "$PAYLOAD_PACK" "$WORK/$1.manifest" "$WORK/$1.zip" || fail "$1: payload_pack failed"
}
make_zip good "$base"
cp "$WORK/good.zip" "$WORK/encrypted.zip"
zip_set_field "$WORK/encrypted.zip" "$(gbk share/设置.ini)" 6 8 1
cp "$WORK/good.zip" "$WORK/method.zip"
zip_set_field "$WORK/method.zip" "VantrelCorvane.exe" 8 10 12
cp "$WORK/good.zip" "$WORK/utf8_flag.zip"
zip_set_field "$WORK/utf8_flag.zip" "$(gbk share/设置.ini)" 6 8 2048
make_zip folder_after_file "file	share/设置.ini	$SOURCE	$t	0x20
folder	share/	$t	0x10
file	VantrelCorvane.exe	$SOURCE	$t	0x20"
make_zip no_product "folder	share/	$t	0x10
file	share/VantrelCorvane.exe	$SOURCE	$t	0x20"
make_zip parent_name "folder	zz/	$t	0x10
file	zz/c.ini	$SOURCE	$t	0x20
file	VantrelCorvane.exe	$SOURCE	$t	0x20"
perl -0777 -pi -e 's{zz/c\.ini}{../c.ini}g' "$WORK/parent_name.zip"

zip_cases=(
  "encrypted|entry 1 \"share/设置.ini\": the entry is encrypted"
  "method|entry 2 \"VantrelCorvane.exe\": only stored and deflate entries can be extracted \\(method 12\\)"
  "utf8_flag|entry 1 \"share/设置.ini\": unsafe entry name \\(the name is flagged as UTF-8 but is not well-formed UTF-8\\)"
  "folder_after_file|entry 0 \"share/设置.ini\": the file's folder has no earlier folder entry"
  "no_product|no file entry \"VantrelCorvane.exe\": the product executable is missing"
  "parent_name|entry 1 \"../c.ini\": unsafe entry name"
)
for row in "${zip_cases[@]}"; do
  expect_refusal "zip_${row%%|*}" "${row#*|}" --stub "$setup" --zip "$WORK/${row%%|*}.zip"
done
expect_refusal not_a_zip "$SOURCE: not a ZIP archive" --stub "$setup" --zip "$SOURCE"

# Folders: names the installer would refuse, and a product that is missing.
folder_case() {  # folder_case NAME FILE...: a product folder holding the product and FILE...
  mkdir -p "$WORK/$1"
  cp "$SOURCE" "$WORK/$1/VantrelCorvane.exe"
  local name=$1
  shift
  for file in "$@"; do
    mkdir -p "$(dirname "$WORK/$name/$file")"
    cp "$SOURCE" "$WORK/$name/$file"
  done
}
folder_case bar_in_name "a|b.txt"
folder_case device_name "docs/con.txt"
folder_case case_twins "Readme.txt" "README.TXT"
mkdir -p "$WORK/empty"
dir_cases=(
  "bar_in_name|entry [0-9]+ \"a\\|b.txt\": unsafe entry name"
  "device_name|entry [0-9]+ \"docs/con.txt\": unsafe entry name"
  "case_twins|\"README.TXT\" and \"Readme.txt\" differ only in case"
  "empty|empty: the folder is empty"
)
for row in "${dir_cases[@]}"; do
  expect_refusal "dir_${row%%|*}" "${row#*|}" --stub "$setup" --dir "$WORK/${row%%|*}"
done

# Brand rows and products the installer would refuse at start.
expect_refusal no_brand_row "brand key 6 with product index 1: the brand table has no row 6.*runtime error 1" \
  --stub "$setup" --zip "$WORK/good.zip" --brand 6 --product 1
expect_refusal past_the_list "brand key 2 with product index 2: brand 2 lists 1 product;.*runtime error 1" \
  --stub "$setup" --zip "$WORK/good.zip" --brand 2 --product 2
expect_refusal index_zero "product index 0: the product index is below 1.*runtime error 4" \
  --stub "$setup" --zip "$WORK/good.zip" --product 0

# Icons and stubs it cannot use.
cp "$ICON" "$WORK/no48.ico"
printf '\x20\x20' | dd of="$WORK/no48.ico" bs=1 seek=6 conv=notrunc status=none
expect_refusal icon_without_48 "no48.ico: icon: the icon file has no 48 x 48 image" \
  --stub "$setup" --zip "$WORK/good.zip" --icon "$WORK/no48.ico"
expect_refusal not_an_icon "icon: not an icon file" --stub "$setup" --zip "$WORK/good.zip" --icon "$SOURCE"
expect_refusal stub_not_a_program "stub: not a Windows program" --stub "$SOURCE" --zip "$WORK/good.zip"

# The installable archive passes, for contrast.
"$PACK" --stub "$setup" --zip "$WORK/good.zip" -o "$out/good.exe" || fail "the installable archive was refused"
finish
