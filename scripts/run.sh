#!/usr/bin/env bash
# Builds build/win32/setup.exe and runs it under Wine (zh_CN locale, code page
# 936). Without a DISPLAY it runs inside Xvfb and saves a screenshot of the
# screen to build/win32/shot.png after a few seconds, then ends the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
file build/win32/setup.exe 2>/dev/null || true

prefix=$PWD/build/win32/runprefix
if [ -n "${DISPLAY:-}" ]; then
  . scripts/wine-env.sh
  wine_prepare "$prefix"
  wine build/win32/setup.exe || echo "setup.exe ended with code $?"
  wine_end
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    . scripts/wine-env.sh
    wine_prepare "'"$prefix"'"
    wine build/win32/setup.exe &
    pid=$!
    sleep "${SETUP_SHOT_DELAY:-6}"
    import -window root build/win32/shot.png && echo "screenshot: build/win32/shot.png"
    if kill -0 $pid 2>/dev/null; then wineserver -k; fi
    wait $pid; echo "setup.exe ended with code $?"
    wine_end'
fi
