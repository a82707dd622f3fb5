#!/usr/bin/env bash
# Runs every test: the native unit tests (ASan+UBSan), then each Windows
# flavour's build and tests under Wine inside Xvfb. A flavour whose code this
# machine cannot execute (some x86-64 machines refuse 32-bit code altogether)
# is still built and statically checked, and said so; the run fails when no
# flavour's Windows tests could run. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
. scripts/wine-env.sh

jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
native_rc=0
ctest --preset native -j "$jobs" || native_rc=$?

declare -A bits=([win32]=32 [win64]=64)
ran=() skipped=() failed=()
for flavour in win32 win64; do
  cmake --preset "$flavour" >/dev/null
  cmake --build --preset "$flavour" -j "$jobs"
  if wine_can_run "$flavour" "build/$flavour"; then
    ran+=("$flavour")
    echo "$flavour tests: running under Wine ($(wine_loader "$flavour"))"
    rc=0
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
      . scripts/wine-env.sh
      wine_prepare "$PWD/build/$1/wineprefix" "$1"
      export SETUP_WINE_READY=1
      rc=0
      ctest --preset "$1" || rc=$?
      wine_end
      exit $rc' _ "$flavour" || rc=$?
    [ "$rc" -eq 0 ] || failed+=("$flavour")
  else
    skipped+=("$flavour")
    echo "$flavour tests: not run: this machine cannot execute ${bits[$flavour]}-bit x86 code"
    echo "$flavour: static checks of the build (PE shape, imports, manifest, payload)"
    ctest --test-dir "build/$flavour/tests/static" --output-on-failure || failed+=("$flavour static checks")
  fi
done

echo "Windows flavours tested: ${ran[*]:-none}${skipped:+; not run here: ${skipped[*]}}"
status=0
if [ "$native_rc" -ne 0 ]; then echo "native tests failed"; status=1; fi
if [ ${#failed[@]} -gt 0 ]; then echo "failed: ${failed[*]}"; status=1; fi
if [ ${#ran[@]} -eq 0 ]; then
  echo "no Windows flavour could run on this machine: the Windows tests did not run"
  status=1
fi
exit $status
