#!/usr/bin/env bash
# Runs the installer benchmark with a display: under Xvfb when DISPLAY is not
# set. Usage: run_install_bench.sh WINE_RUN PREFIX PROGRAM ARGS...
# WINE_RUN is the build tree's wine-run.sh and PREFIX its Wine prefix.
set -uo pipefail
if [ -z "${DISPLAY:-}" ]; then
  BENCH_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
wine_run=$1 prefix=$2
shift 2
stop_server() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$prefix timeout 30 wineserver -w >/dev/null 2>&1 || true
}
# On a display of our own, a wineserver left from a run on another display
# would put the windows there; and ours must not outlive this display.
[ -n "${BENCH_OWN_DISPLAY:-}" ] && stop_server
SETUP_WINE_TIMEOUT=${SETUP_WINE_TIMEOUT:-1800} "$wine_run" "$@"
rc=$?
[ -n "${BENCH_OWN_DISPLAY:-}" ] && stop_server
exit $rc
