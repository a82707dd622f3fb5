#!/usr/bin/env bash
# setup-pack gives the build's installers back byte for byte: the build
# links a stub and packs it with setup-pack, and a publisher packing the same
# payload, brand and product into any of the build's setup programs gets the
# same file. The demo from its ZIP must give setup.exe (with the build's
# settings spelt out, and with what setup.exe carries kept by default); the
# demo from a folder laid out here must give the build's folder-packed
# program, although this folder was made in another order at another path.
. "$(dirname "$0")/pack_test_lib.sh"

setup=$TREE/setup.exe
explicit=(--brand "$BRAND" --product "$PRODUCT" --icon "$ICON" --version "$VERSION")

"$PACK" --stub "$setup" --zip "$DEMO_ZIP" "${explicit[@]}" -o "$WORK/explicit.exe" || fail "packing with the build's settings"
same_file "demo ZIP, the build's settings" "$WORK/explicit.exe" "$setup"

"$PACK" --stub "$setup" --zip "$DEMO_ZIP" -o "$WORK/defaults.exe" || fail "packing with the defaults"
same_file "demo ZIP into setup.exe, defaults" "$WORK/defaults.exe" "$setup"

# Another packed program of the build serves as stub as well.
"$PACK" --stub "$NO_BRAND" --zip "$DEMO_ZIP" "${explicit[@]}" -o "$WORK/from_variant.exe" ||
  fail "packing into the variant"
same_file "demo ZIP into another variant" "$WORK/from_variant.exe" "$setup"

# Packing in place: the output replaces its stub only once it is complete.
cp "$setup" "$WORK/in_place.exe"
"$PACK" --stub "$WORK/in_place.exe" -o "$WORK/in_place.exe" || fail "packing in place"
same_file "in place, the stub's own payload" "$WORK/in_place.exe" "$setup"

stage_demo_folder "$WORK/demo folder"
"$PACK" --stub "$setup" --dir "$WORK/demo folder" --brand 0 --product 22 -o "$WORK/folder.exe" ||
  fail "packing the demo folder"
same_file "demo folder" "$WORK/folder.exe" "$DEMO_FOLDER_SETUP"

# A large folder reports its progress on stderr.
mkdir -p "$WORK/large/data"
cp "$SOURCE" "$WORK/large/VantrelCorvane.exe"
for i in 1 2 3; do head -c 7000000 /dev/zero >"$WORK/large/data/part$i.bin"; done
"$PACK" --stub "$setup" --dir "$WORK/large" --brand 0 --product 22 -o "$WORK/large.exe" 2>"$WORK/large.log" ||
  fail "packing a large folder: $(cat "$WORK/large.log")"
for percent in 33 66 100; do
  grep -q "compressing .*large: $percent% of 21.0 MB" "$WORK/large.log" || fail "no progress at $percent%: $(cat "$WORK/large.log")"
done

leftovers=$(find "$WORK" -maxdepth 1 -name '*.partial-*')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
finish
