#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (as root).
# Quick when everything is already there.
set -euo pipefail

need_pkgs=(cmake ninja-build g++ dpkg-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  libz-mingw-w64-dev mingw-w64-tools googletest libjpeg62-turbo-dev zlib1g-dev
  libminizip-dev nlohmann-json3-dev xvfb xauth xdotool fonts-wqy-zenhei imagemagick locales
  bzip2 wine wine64 nsis)
# Wine's 32-bit loader, for the win32 flavour's tests. It installs on any
# x86-64 machine; on one that cannot execute 32-bit code it simply cannot run,
# and the tests say so.
i386_pkgs=(wine32:i386)

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=() missing_i386=()
for p in "${need_pkgs[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${i386_pkgs[@]}"; do installed "$p" || missing_i386+=("$p"); done

if [ ${#missing[@]} -gt 0 ] || [ ${#missing_i386[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_ dpkg --add-architecture i386
  fi
  # The source package of zlib (and minizip) is built for Windows by the build.
  if ! grep -rqs 'deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    sudo_ tee /etc/apt/sources.list.d/project-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  sudo_ apt-get -o DPkg::Lock::Timeout=300 update -qq
  apt_install() { DEBIAN_FRONTEND=noninteractive sudo_ apt-get -o DPkg::Lock::Timeout=300 install -y -qq "$@"; }
  [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
  if [ ${#missing_i386[@]} -gt 0 ] && ! apt_install "${missing_i386[@]}"; then
    echo "install-deps: could not install ${missing_i386[*]}; the win32 flavour's tests will not run" >&2
  fi
fi

# The Windows tests run under a Chinese, an English and a Japanese locale
# (ANSI code pages 936, 1252 and 932).
locales=(zh_CN en_US ja_JP)
need_gen=0
for l in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qi "^$l.utf8$" && continue
  need_gen=1
  sudo_ sed -i "s/^# *$l.UTF-8 UTF-8/$l.UTF-8 UTF-8/" /etc/locale.gen
  grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen || echo "$l.UTF-8 UTF-8" | sudo_ tee -a /etc/locale.gen >/dev/null
done
[ "$need_gen" -eq 0 ] || sudo_ locale-gen >/dev/null
