# Sourced by the scripts that run Windows programs under Wine. Sets the
# environment every Wine run needs and offers:
#   wine_loader FLAVOUR   the Wine loader for win32 (i386) or win64 (x86-64)
#                         programs
#   wine_use PREFIX [FLAVOUR]
#                         point the environment at PREFIX and make `wine` run
#                         FLAVOUR's loader (win32 when not given)
#   wine_prepare PREFIX [FLAVOUR]
#                         create PREFIX if it is missing (drive D: link, no
#                         crash dialogs, unmanaged windows), start its
#                         wineserver, as wine_use; fails when the loader
#                         cannot run on this machine
#   wine_end              stop the wineserver of $WINEPREFIX
#   wine_can_run FLAVOUR TREE
#                         true when this machine executes FLAVOUR's code: the
#                         tree's smallest program runs in a fresh prefix of
#                         the tree (which stays prepared)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=${SETUP_WINE_LANG:-zh_CN.UTF-8}
export LC_ALL=$LANG

wine_loader() {
  if [ "$1" = win64 ]; then
    # Debian's wine64 package puts the 64-bit loader here; /usr/bin/wine would
    # take the 32-bit one whenever wine32 is installed.
    local loader
    loader=$(dpkg -L wine64 2>/dev/null | grep -m1 '/wine64$' || true)
    echo "${loader:-/usr/lib/wine/wine64}"
  else
    echo /usr/bin/wine
  fi
}

# `wine` runs the loader of the prepared flavour.
wine() { "${SETUP_WINE:-/usr/bin/wine}" "$@"; }

wine_use() {
  export WINEPREFIX=$1
  export SETUP_WINE_FLAVOUR=${2:-win32}
  export SETUP_WINE
  SETUP_WINE=$(wine_loader "$SETUP_WINE_FLAVOUR")
  if [ "$SETUP_WINE_FLAVOUR" = win64 ]; then
    # Programs the 64-bit loader starts (CreateProcess) start by this loader.
    export WINELOADER=$SETUP_WINE WINEARCH=win64
  else
    unset WINELOADER
    export WINEARCH=win32
  fi
  # A scratch HOME: a new prefix links Desktop and Documents into $HOME.
  export HOME=$WINEPREFIX.home
}

wine_prepare() {
  wine_use "$@"
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
    timeout 120 "$SETUP_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null || {
      wineserver -k >/dev/null 2>&1 || true
      return 1
    }
    timeout 60 "$SETUP_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    timeout 60 wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
  # Keep the server up for the whole run, with no pipe left open to callers.
  wineserver -p30 </dev/null >/dev/null 2>&1
  timeout 60 "$SETUP_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_end() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${WINEPREFIX:-}" ] && timeout 30 wineserver -w >/dev/null 2>&1 || true
}

wine_can_run() {
  local flavour=$1 tree=$2
  rm -rf "$tree/wineprefix" "$tree/wineprefix.d" "$tree/wineprefix.home"
  (
    wine_prepare "$PWD/$tree/wineprefix" "$flavour" >/dev/null 2>&1 || exit 1
    rc=0
    timeout 60 "$SETUP_WINE" "$tree/tests/static/exec_probe.exe" </dev/null >/dev/null 2>&1 || rc=$?
    wine_end
    [ "$rc" -eq 42 ]
  )
}
