#!/usr/bin/env bash
# Coverage-guided fuzzing of the portable parsers with libFuzzer (clang-14,
# AddressSanitizer and UndefinedBehaviorSanitizer).
#
#   scripts/fuzz.sh [--merge] [--build-only] [SECONDS_PER_TARGET] [TARGET...]
#
# Builds every fuzz target (tests/fuzz/NAME_fuzz.cpp) into build/fuzz, then
# runs the named targets (all by default) one after another for
# SECONDS_PER_TARGET seconds each (default 60). A target reads its committed
# corpus tests/fuzz/corpus/NAME and keeps what it finds in the scratch folder
# build/fuzz/corpus/NAME; crashing inputs go to build/fuzz/artifacts/NAME.
# For each target it prints the executions, the coverage (cov and ft of
# libFuzzer's last status line) and the crashes. FUZZ_ARGS adds libFuzzer
# options to every run, e.g. FUZZ_ARGS=-runs=10000000 to stop a target after
# that many executions even when its time is not up.
#
# --merge: after the runs, adds the scratch inputs that reach code the
# committed corpus does not to tests/fuzz/corpus/NAME: at most FUZZ_MERGE_MAX
# (default 10) files of at most FUZZ_MERGE_MAX_LEN (default 2048) bytes per
# target, largest first (they tend to reach deepest). Review them before
# committing.
#
# Installs clang-14 and the libraries it needs when they are missing
# (Debian 12, as root or with sudo). Runs the fuzzers under nice.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(form_reader picture records text_commands zip_check form_json archive)
seconds=60
merge=0
build_only=0
targets=()
for arg in "$@"; do
  case "$arg" in
    --merge) merge=1 ;;
    --build-only) build_only=1 ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    ''|*[!0-9]*)
      if [ ! -f "tests/fuzz/${arg}_fuzz.cpp" ]; then
        echo "fuzz.sh: unknown target '$arg' (targets: ${all_targets[*]})" >&2
        exit 2
      fi
      targets+=("$arg") ;;
    *) seconds=$arg ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

# --- tools --------------------------------------------------------------
sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
need_pkgs=(clang-14 libclang-rt-14-dev cmake ninja-build libjpeg62-turbo-dev zlib1g-dev
  libminizip-dev nlohmann-json3-dev googletest)
missing=()
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "fuzz.sh: installing ${missing[*]}"
  sudo_ apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive sudo_ apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
fi

# --- build --------------------------------------------------------------
build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DSETUP_SANITIZE=ON -DSETUP_LIBFUZZER=ON >/dev/null
fi
build_targets=()
for t in "${all_targets[@]}"; do build_targets+=("${t}_fuzz"); done
nice -n 10 cmake --build "$build" -j1 --target "${build_targets[@]}"
[ "$build_only" = 0 ] || exit 0

# --- runs ---------------------------------------------------------------
# Leaks of a run end it like crashes; UBSan reports stop it as well.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
summary=()
failed=0
for t in "${targets[@]}"; do
  bin="$build/tests/native/${t}_fuzz"
  scratch="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  log="$build/logs/$t.log"
  mkdir -p "$scratch" "$artifacts" "$build/logs" "tests/fuzz/corpus/$t"
  before=$(find "$artifacts" -type f | wc -l)
  echo "fuzz.sh: $t for ${seconds}s (log: $log)"
  rc=0
  nice -n 15 "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2560 \
    -artifact_prefix="$artifacts/" ${FUZZ_ARGS:-} "$scratch" "tests/fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  status=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED|RELOAD)' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status")
  new=$(( $(find "$artifacts" -type f | wc -l) - before ))
  line=$(printf '%-14s execs %-11s cov %-6s ft %-7s crashes %s' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$new")
  if [ "$rc" -ne 0 ] || [ "$new" -gt 0 ]; then
    failed=1
    line+="  FAILED (exit $rc): $(grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|[a-z_]+_fuzz: )' "$log" || echo 'see log')"
    line+=$'\n'"               artifacts: $(find "$artifacts" -type f -newer "$bin" | tr '\n' ' ')"
  fi
  summary+=("$line")
done

# --- merge --------------------------------------------------------------
if [ "$merge" = 1 ]; then
  max_files=${FUZZ_MERGE_MAX:-10}
  max_len=${FUZZ_MERGE_MAX_LEN:-2048}
  for t in "${targets[@]}"; do
    bin="$build/tests/native/${t}_fuzz"
    work=$(mktemp -d)
    cp -r "tests/fuzz/corpus/$t/." "$work/"
    nice -n 15 "$bin" -merge=1 -max_len="$max_len" "$work" "$build/corpus/$t" >"$build/logs/$t.merge.log" 2>&1 || true
    added=0
    while IFS= read -r f; do
      [ "$added" -lt "$max_files" ] || break
      name=$(basename "$f")
      [ -e "tests/fuzz/corpus/$t/$name" ] && continue
      cp "$f" "tests/fuzz/corpus/$t/$name"
      added=$((added + 1))
    done < <(find "$work" -type f -printf '%s %p\n' | sort -rn | cut -d' ' -f2-)
    rm -rf "$work"
    echo "fuzz.sh: merged $added new inputs into tests/fuzz/corpus/$t ($(ls "tests/fuzz/corpus/$t" | wc -l) files)"
  done
fi

echo
echo "target         executions        coverage           crashes"
printf '%s\n' "${summary[@]}"
exit "$failed"
