#!/usr/bin/env bash
# Runs every test: the native unit tests (ASan+UBSan), then the Windows build
# and its tests under Wine inside Xvfb. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
native_rc=0
ctest --preset native -j "$jobs" || native_rc=$?

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

# A fresh Wine prefix for each test run, in the build tree.
rm -rf build/win32/wineprefix build/win32/wineprefix.d build/win32/wineprefix.home
win32_rc=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . scripts/wine-env.sh
  wine_prepare "$PWD/build/win32/wineprefix"
  export SETUP_WINE_READY=1
  rc=0
  ctest --preset win32 || rc=$?
  wine_end
  exit $rc' || win32_rc=$?

if [ "$native_rc" -ne 0 ] || [ "$win32_rc" -ne 0 ]; then
  echo "tests failed (native: $native_rc, win32: $win32_rc)"
  exit 1
fi
