#!/usr/bin/env bash
# The `bench` target: runs the extraction benchmark (extract_bench) on the
# demo payload (which also measures its generated 2,000-file archive) and on
# the payload of system files, then the installer benchmark (install_bench,
# with a display), and prints one table of their figures with the stub's
# size. extract_bench's lines are only read, never changed: a figure it does
# not print shows as "n/a".
#
# Usage: run_bench.sh --extract "WINE_RUN EXTRACT_BENCH" --demo-zip ZIP --system-zip ZIP
#                     [--digest "WINE_RUN DIGEST_BENCH LARGE_ZIP"]
#                     --stub CMAKE STUB_SCRIPT EXE PAYLOAD FORM PICTURE... --
#                     WINE_RUN PREFIX INSTALL_BENCH MIN_WINDOW PRODUCT LABEL SETUP PEER...
# (the part after "--" is run_install_bench.sh's command line).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
extract="" demoZip="" systemZip="" digest="" stub=()
while [ $# -gt 0 ]; do
  case $1 in
    --extract) extract=$2; shift 2 ;;
    --demo-zip) demoZip=$2; shift 2 ;;
    --system-zip) systemZip=$2; shift 2 ;;
    --digest) digest=$2; shift 2 ;;
    --stub) shift; while [ $# -gt 0 ] && [ "$1" != -- ]; do stub+=("$1"); shift; done ;;
    --) shift; break ;;
    *) echo "run_bench.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== extraction: demo payload and the generated 2,000 files"
$extract "$demoZip" | tee "$work/extract_demo.txt" || true
echo "== extraction: system files"
$extract "$systemZip" | tee "$work/extract_system.txt" || true
echo "== the installer's payload check on the 100 MB payload"
[ -z "$digest" ] || $digest | tee "$work/digest.txt" || true
echo "== installs and start-up"
bash "$here/run_install_bench.sh" "$@" | tee "$work/install.txt"
installRc=${PIPESTATUS[0]}

# The stub's size, as the build prints it.
pictures=$(IFS=';'; echo "${stub[*]:5}")
stubLine=$("${stub[0]}" -DEXE="${stub[2]}" -DPAYLOAD="${stub[3]}" -DFORM="${stub[4]}" -DPICTURES="$pictures" \
  -P "${stub[1]}" 2>&1 | grep '^stub:' || echo "stub: n/a")

# extract_bench's figure for LABEL's line in FILE: the seconds in the
# parentheses after WHAT ("Extract", "plain loop", "same-work"), or n/a.
extract_seconds() {
  local file=$1 label=$2 what=$3
  tr -d '\r' <"$file" 2>/dev/null | grep -m1 "^$label .*Extract" |
    sed -n "s/.*$what[^(]*( *\([0-9.]*\) s).*/\1/p" | grep . || echo n/a
}
# install_bench's "result KIND LABEL|values" line, values only, or empty.
# (Wine's console writes CR LF.)
result() { tr -d '\r' <"$work/install.txt" | grep -m1 "^result $1 $2|" | cut -d'|' -f2-; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
row() { printf '  %-44s %9s %9s   %-12s %7s %7s\n' "$@"; }

labels=()
while IFS= read -r line; do labels+=("${line#result payload }"); done < <(tr -d '\r' <"$work/install.txt" | grep '^result payload ' | cut -d'|' -f1)
extractFile=("$work/extract_demo.txt" "$work/extract_demo.txt" "$work/extract_system.txt")
extractLabel=("demo payload" "generated 2,000 files" "demo payload")

echo
echo "Benchmark table (seconds; best and median of 5 unless said; ratio = row / the row it is compared with)"
row "" best median "against" "best" "median"
for i in "${!labels[@]}"; do
  label=${labels[$i]}
  read -r entries bytes <<<"$(result payload "$label")"
  echo "${label}: ${entries} entries, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') MB"
  f=${extractFile[$i]:-} l=${extractLabel[$i]:-}
  ex=$(extract_seconds "$f" "$l" Extract)
  same=$(extract_seconds "$f" "$l" same-work)
  plain=$(extract_seconds "$f" "$l" "plain loop")
  row "Extract (ours), extract_bench, best only" "$ex" "-" "plain loop" "$(ratio "$ex" "$plain")" "-"
  row "same-work single-threaded loop, best only" "$same" "-" "plain loop" "$(ratio "$same" "$plain")" "-"
  row "plain inflate+WriteFile loop, best only" "$plain" "-" "" "" ""
  read -r ob om <<<"$(result ours "$label")"
  peer=$(result peer "$label")
  if [ -n "$peer" ]; then
    read -r pb pm <<<"$peer"
    row "install: setup.exe (click to exit)" "$ob" "$om" "NSIS /S" "$(ratio "$ob" "$pb")" "$(ratio "$om" "$pm")"
    row "install: NSIS /S (start to exit)" "$pb" "$pm" "" "" ""
  else
    row "install: setup.exe (click to exit)" "$ob" "$om" "NSIS /S" "n/a" "n/a"
    row "install: NSIS /S (start to exit)" "n/a" "n/a" "" "" ""
    echo "      NSIS n/a: $(result peer-not-run "$label")"
  fi
  if [ "$i" = 1 ]; then
    # digest_bench: "... best B ms, median M ms ..." for the whole archive.
    checkMs=$(tr -d '\r' <"$work/digest.txt" 2>/dev/null | sed -n 's/.*best \([0-9.]*\) ms, median \([0-9.]*\) ms.*/\1 \2/p')
    read -r cb cm <<<"${checkMs:-n/a n/a}"
    cbs=$(awk -v v="$cb" 'BEGIN { if (v ~ /^[0-9.]+$/) printf "%.4f", v / 1000; else printf "n/a" }')
    cms=$(awk -v v="$cm" 'BEGIN { if (v ~ /^[0-9.]+$/) printf "%.4f", v / 1000; else printf "n/a" }')
    row "payload check (CRC-32 of the archive)" "$cbs" "$cms" "install" "$(ratio "$cbs" "$ob")" "$(ratio "$cms" "$om")"
  fi
done
[ "${extractLabel[1]}" = "generated 2,000 files" ] &&
  echo "  (the 2,000-file Extract rows are extract_bench's own generated archive of the same kind of files;"
echo "   the system-files Extract rows are extract_bench run on that payload, which it labels \"demo payload\")"
read -r sb sm <<<"$(result start-setup setup.exe)"
read -r mb mm <<<"$(result start-minimal "minimal window")"
echo "start-up"
row "process start to window shown: setup.exe" "${sb:-n/a}" "${sm:-n/a}" "minimal" "$(ratio "${sb:-}" "${mb:-}")" "$(ratio "${sm:-}" "${mm:-}")"
row "process start to window shown: minimal window" "${mb:-n/a}" "${mm:-n/a}" "" "" ""
echo "size"
echo "  $stubLine"
echo "memory (setup.exe, 100 MB install, most over the rounds)"
if [ ${#labels[@]} -ge 2 ]; then
  read -r privateUsage peakPagefile <<<"$(result memory "${labels[1]}")"
  echo "  peak private bytes (PeakPagefileUsage): $(awk -v b="$peakPagefile" 'BEGIN { printf "%.1f", b / 1e6 }') MB;" \
       "most PrivateUsage seen while polling: $(awk -v b="$privateUsage" 'BEGIN { printf "%.1f", b / 1e6 }') MB" \
       "$([ "${privateUsage:-0}" = 0 ] && echo "(0: not reported here)")"
fi
exit "$installRc"
