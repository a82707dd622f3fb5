#!/usr/bin/env bash
# Writes the benchmark's third payload from files that Debian packages put on
# this machine: NSIS's data files (/usr/share/nsis, folder names with spaces
# among them) and, in name order, Wine's 64-bit Windows DLLs up to about
# 190 MB in all (about 500 entries). Run at benchmark time by the build.
#
# Usage: make_system_payload.sh OUT_DIR PRODUCT_EXE PRODUCT_NAME
# Writes OUT_DIR/files/ (PRODUCT_EXE as PRODUCT_NAME.exe at the root,
# "NSIS data/..." and "Wine DLLs/...") and OUT_DIR/payload.manifest in
# payload_pack's format. Fails when a package's files are missing.
set -euo pipefail
out=$1 productExe=$2 product=$3
target_bytes=190000000
time="2018-05-01 17:27:02"

nsis=/usr/share/nsis
wine_dlls=$(dpkg -L libwine:amd64 2>/dev/null | grep -m1 '/x86_64-windows$' || true)
[ -n "$wine_dlls" ] || wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
if [ ! -d "$nsis" ] || [ ! -d "$wine_dlls" ]; then
  echo "make_system_payload: needs $nsis (package nsis) and Wine's 64-bit DLLs (package libwine:amd64)" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$out/files"
manifest=$out/payload.manifest
cp "$productExe" "$out/files/$product.exe"
printf 'file\t%s\tfiles/%s\t%s\t0x20\n' "$product.exe" "$product.exe" "$time" >"$manifest"
total=$(stat -c %s "$productExe")

# NSIS's data, its tree as it is.
printf 'folder\tNSIS data/\t%s\t0x10\n' "$time" >>"$manifest"
mkdir -p "$out/files/NSIS data"
while IFS= read -r -d '' dir; do
  rel=${dir#"$nsis"/}
  mkdir -p "$out/files/NSIS data/$rel"
  printf 'folder\t%s/\t%s\t0x10\n' "NSIS data/$rel" "$time" >>"$manifest"
done < <(find "$nsis" -mindepth 1 -type d -print0 | sort -z)
while IFS= read -r -d '' file; do
  rel=${file#"$nsis"/}
  cp -L "$file" "$out/files/NSIS data/$rel"
  printf 'file\t%s\tfiles/%s\t%s\t0x20\n' "NSIS data/$rel" "NSIS data/$rel" "$time" >>"$manifest"
  total=$((total + $(stat -L -c %s "$file")))
done < <(find "$nsis" -mindepth 1 \( -type f -o -type l \) -print0 | sort -z)

# Wine's DLLs in name order until the payload reaches the target size.
printf 'folder\tWine DLLs/\t%s\t0x10\n' "$time" >>"$manifest"
mkdir -p "$out/files/Wine DLLs"
while IFS= read -r -d '' file; do
  [ "$total" -lt "$target_bytes" ] || break
  name=$(basename "$file")
  cp -L "$file" "$out/files/Wine DLLs/$name"
  printf 'file\t%s\tfiles/%s\t%s\t0x20\n' "Wine DLLs/$name" "Wine DLLs/$name" "$time" >>"$manifest"
  total=$((total + $(stat -L -c %s "$file")))
done < <(find "$wine_dlls" -maxdepth 1 -name '*.dll' -type f -print0 | sort -z)

echo "system payload: $(wc -l <"$manifest") entries, $((total / 1000000)) MB"
