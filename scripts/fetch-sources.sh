#!/usr/bin/env bash
# Unpacks Debian's source package of zlib (zlib itself and minizip's unzip
# part) into DEST, for the Windows builds. Needs the deb-src entry that
# install-deps.sh adds. Does nothing when DEST already holds it.
set -euo pipefail
dest=${1:?usage: fetch-sources.sh DEST}
zlib_ver=1:1.2.13.dfsg-1
[ -f "$dest/zlib/contrib/minizip/unzip.c" ] && exit 0
mkdir -p "$dest/dl"
cd "$dest/dl"
apt-get source --download-only -qq "zlib=$zlib_ver" >/dev/null 2>&1 || {
  apt-get -o DPkg::Lock::Timeout=300 update -qq >/dev/null 2>&1 || true
  apt-get source --download-only -qq "zlib=$zlib_ver"
}
rm -rf "$dest/zlib"
dpkg-source -x --no-copy zlib_*.dsc "$dest/zlib" >/dev/null 2>&1
