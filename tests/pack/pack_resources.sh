#!/usr/bin/env bash
# What Explorer reads from a packed installer, read back with binutils: the
# application icon (a group holding the 48 x 48 image), the version resource
# (product name from the brand table, "安装程序", the version), the manifest
# kept; and what the loader needs kept: the flavour's DLL characteristics and
# the base relocations, now behind the rebuilt resources.
. "$(dirname "$0")/pack_test_lib.sh"

export LANGUAGE=C
setup=$TREE/setup.exe
# A second product (brand 1, product 3) with its own version, from setup.exe.
mkdir -p "$WORK/product"
cp "$SOURCE" "$WORK/product/OstrelAudio.exe"
"$PACK" --stub "$setup" --dir "$WORK/product" --brand 1 --product 3 --version 2.5.0.7 -o "$WORK/audio.exe" ||
  fail "packing the second product"

check_version() {  # check_version EXE PRODUCT a,b,c,d a.b.c.d
  local rc
  rc=$("$WINDRES" -i "$1" -O rc 2>&1) || fail "$1: windres cannot read its resources: $rc"
  grep -q "FILEVERSION $3" <<<"$rc" || fail "$1: no FILEVERSION $3"
  grep -q "PRODUCTVERSION $3" <<<"$rc" || fail "$1: no PRODUCTVERSION $3"
  # "安装程序" as UTF-16 code units.
  grep -qF 'VALUE "FileDescription", L"\x5b89\x88c5\x7a0b\x5e8f"' <<<"$rc" || fail "$1: FileDescription is not 安装程序"
  grep -qF "VALUE \"ProductName\", \"$2\"" <<<"$rc" || fail "$1: ProductName is not $2"
  grep -qF "VALUE \"FileVersion\", \"$4\"" <<<"$rc" || fail "$1: FileVersion is not $4"
  grep -qF 'VALUE "Translation", 0x804, 1200' <<<"$rc" || fail "$1: no Chinese (PRC) Unicode translation"
  grep -q 'RT_MANIFEST' <<<"$rc" || fail "$1: the manifest was lost"
  grep -qE '"\\060\\060\\000\\000", 1, 32, 0x[0-9a-f]+L, 1' <<<"$rc" || fail "$1: no 48 x 48 image in icon group 1"
}
version_words=$(tr . , <<<"$VERSION" | sed 's/,/, /g')
check_version "$setup" "$SETUP_PRODUCT_NAME" "$version_words" "$VERSION"
check_version "$WORK/audio.exe" OstrelAudio "2, 5, 0, 7" 2.5.0.7

# The stub's icon stays when no --icon is given; another icon replaces it.
"$PACK" --stub "$WORK/audio.exe" -o "$WORK/kept.exe" || fail "repacking"
same_file "repacked without changes" "$WORK/kept.exe" "$WORK/audio.exe"

for exe in "$setup" "$WORK/audio.exe"; do
  dump=$("$OBJDUMP" -p "$exe")
  for flag in $CHARACTERISTICS; do
    grep -Eq "^[[:space:]]+$flag\$" <<<"$dump" || fail "$exe: $flag is lost"
  done
  grep -q "PE File Base Relocations" <<<"$dump" || fail "$exe: no base relocations"
  grep -Eq "Entry 5 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Base Relocation Directory \[\.reloc\]" <<<"$dump" ||
    fail "$exe: the base relocation directory does not point into .reloc"
  grep -Eq "Entry 4 0+ 0+ Security Directory" <<<"$dump" || fail "$exe: a certificate table is named"
  sections=$("$OBJDUMP" -h "$exe" | awk '/^ +[0-9]+ /{print $2}' | tail -n 3 | tr '\n' ' ')
  [ "$sections" = ".rsrc .reloc .payload " ] || fail "$exe: last sections are $sections"
done
finish
