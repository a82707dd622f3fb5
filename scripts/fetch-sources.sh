#!/usr/bin/env bash
# Unpacks Debian's source packages of zlib (for minizip's unzip part) and
# libjpeg-turbo into DEST, for the i686 build. Needs the deb-src entry that
# install-deps.sh adds. Does nothing when DEST already holds both.
set -euo pipefail
dest=${1:?usage: fetch-sources.sh DEST}
zlib_ver=1:1.2.13.dfsg-1
jpeg_ver=1:2.1.5-2
[ -f "$dest/zlib/contrib/minizip/unzip.c" ] && [ -f "$dest/libjpeg-turbo/jpeglib.h" ] && exit 0
mkdir -p "$dest/dl"
cd "$dest/dl"
apt-get source --download-only -qq "zlib=$zlib_ver" "libjpeg-turbo=$jpeg_ver" >/dev/null 2>&1 || {
  apt-get -o DPkg::Lock::Timeout=300 update -qq >/dev/null 2>&1 || true
  apt-get source --download-only -qq "zlib=$zlib_ver" "libjpeg-turbo=$jpeg_ver"
}
rm -rf "$dest/zlib" "$dest/libjpeg-turbo"
dpkg-source -x --no-copy zlib_*.dsc "$dest/zlib" >/dev/null 2>&1
dpkg-source -x --no-copy libjpeg-turbo_*.dsc "$dest/libjpeg-turbo" >/dev/null 2>&1
