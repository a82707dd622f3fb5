# Sourced by the scripts that run Windows programs under Wine. Sets the
# environment every Wine run needs and offers:
#   wine_prepare PREFIX   create PREFIX if it is missing (drive D: link, no crash
#                         dialogs, unmanaged windows) and start its wineserver
#   wine_end              stop the wineserver of $WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8

wine_prepare() {
  export WINEPREFIX=$1
  # A scratch HOME: a new prefix links Desktop and Documents into $HOME.
  export HOME=$WINEPREFIX.home
  mkdir -p "$HOME"
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX/dosdevices" "$WINEPREFIX/drive_c" "$WINEPREFIX.d"
    # Drive D: is a folder of ours, linked before the first Wine process. Wine
    # makes C: and Z: only in a prefix without dosdevices/, so link them too.
    ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:"
    ln -sfn / "$WINEPREFIX/dosdevices/z:"
    ln -sfn "$WINEPREFIX.d" "$WINEPREFIX/dosdevices/d:"
    wineserver -p30 </dev/null >/dev/null 2>&1
    timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
    timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    timeout 60 wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
  # Keep the server up for the whole run, with no pipe left open to callers.
  wineserver -p30 </dev/null >/dev/null 2>&1
  timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_end() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${WINEPREFIX:-}" ] && timeout 30 wineserver -w >/dev/null 2>&1 || true
}
