#!/usr/bin/env bash
# Builds setup.exe in both flavours and runs it under Wine (zh_CN locale, code
# page 936): the 32-bit one where this machine executes 32-bit code, else the
# 64-bit one. Without a DISPLAY it runs inside Xvfb and saves a screenshot of
# the screen to build/<flavour>/shot.png after a few seconds, then ends the
# program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
. scripts/wine-env.sh
for flavour in win32 win64; do
  cmake --preset "$flavour" >/dev/null
  cmake --build --preset "$flavour" -j "$(nproc)"
done

flavour=
for f in win32 win64; do
  if wine_can_run "$f" "build/$f"; then flavour=$f; break; fi
  echo "$f: this machine cannot execute its code"
done
if [ -z "$flavour" ]; then
  echo "Wine runs neither flavour of setup.exe on this machine"
  exit 1
fi
exe=build/$flavour/setup.exe
echo "running $exe (the ${flavour} flavour)"

prefix=$PWD/build/$flavour/wineprefix
if [ -n "${DISPLAY:-}" ]; then
  wine_prepare "$prefix" "$flavour"
  wine "$exe" || echo "setup.exe ended with code $?"
  wine_end
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    . scripts/wine-env.sh
    wine_prepare "$1" "$2"
    wine "$3" &
    pid=$!
    sleep "${SETUP_SHOT_DELAY:-6}"
    import -window root "build/$2/shot.png" && echo "screenshot: build/$2/shot.png"
    if kill -0 $pid 2>/dev/null; then wineserver -k; fi
    wait $pid; echo "setup.exe ended with code $?"
    wine_end' _ "$prefix" "$flavour" "$exe"
fi
