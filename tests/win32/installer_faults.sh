#!/usr/bin/env bash
# Runs installer_faults_tests (installer_faults_test.cpp) under Wine with what
# they need: the product versions, each a folder packed into an installer by
# the host's setup-pack, and a small disk mounted as a Wine drive. Arguments
# go to the test program (e.g. --gtest_filter=...).
#
# Environment (set by ctest, tests/win32/CMakeLists.txt):
#   PACK         the host's setup-pack      STUB   the tree's setup.exe
#   PRODUCT_EXE  the demo product's program (the versions' VantrelCorvane.exe)
#   RUN          the tree's Wine wrapper    TESTS  installer_faults_tests.exe
#   PREFIX       the tree's Wine prefix     WORK   a scratch folder
#
# Versions (names sorted as the packer sorts them):
#   small-old  the product, readme.txt and data\file000..007.bin of 64 KiB
#   small-new  the same names, the data files of 1 MiB
#   large-old  the product, 8 files art\file000..007.bin of 64 KiB and 200
#              files data\NN\fileMMM.bin of 4 KiB
#   large-new  the same names, the art files of 5 MiB and the data files of
#              40 KiB: 48 MiB of random bytes, so that the extraction writes
#              as much as it reads; the art files come first and each takes
#              long enough to be caught half-written
# The small disk: a 16 MiB tmpfs (we run as root) at $WORK/small-disk, linked
# as drive T: in the prefix while the tests run (the test defines the drive
# for the shell's sake). Where it cannot be mounted, FAULTS_NO_SMALL_DRIVE
# says why and the disk-full test skips.
set -uo pipefail
export LC_ALL=C.UTF-8

small_disk=$WORK/small-disk
drive_link=$PREFIX/dosdevices/t:

cleanup() {
  rm -f "$drive_link"
  if mountpoint -q "$small_disk" 2>/dev/null; then umount "$small_disk"; fi
}
trap cleanup EXIT
cleanup
rm -rf "$WORK"
mkdir -p "$WORK"

# random_files FOLDER COUNT SIZE: COUNT files of SIZE random bytes,
# FOLDER/file000.bin and on.
random_files() {
  mkdir -p "$1"
  head -c $(($2 * $3)) /dev/urandom | split -b "$3" -d -a 3 --additional-suffix=.bin - "$1/file"
}

make_version() {  # make_version NAME
  local folder=$WORK/$1 size d
  mkdir -p "$folder"
  cp "$PRODUCT_EXE" "$folder/VantrelCorvane.exe"
  case $1 in
    small-*)
      size=65536
      [ "$1" = small-new ] && size=1048576
      printf '%s\r\n' "$1" >"$folder/readme.txt"
      random_files "$folder/data" 8 $size
      ;;
    large-old)
      random_files "$folder/art" 8 65536
      for d in $(seq -w 1 10); do random_files "$folder/data/$d" 20 4096; done
      ;;
    large-new)
      random_files "$folder/art" 8 5242880
      for d in $(seq -w 1 10); do random_files "$folder/data/$d" 20 40960; done
      ;;
  esac
  "$PACK" --stub "$STUB" --dir "$folder" -o "$WORK/$1.exe" >"$WORK/$1.pack.log" 2>&1 || {
    echo "setup-pack could not pack $1:" >&2
    cat "$WORK/$1.pack.log" >&2
    exit 1
  }
}

for version in small-old small-new large-old large-new; do make_version "$version"; done

mkdir -p "$small_disk"
if mount_error=$(mount -t tmpfs -o size=16m installer-faults "$small_disk" 2>&1); then
  ln -sfn "$small_disk" "$drive_link"
  export FAULTS_SMALL_DRIVE=T: FAULTS_SMALL_DISK="Z:${small_disk//\//\\}"
else
  export FAULTS_NO_SMALL_DRIVE="mount -t tmpfs failed: $mount_error"
fi

export FAULTS_WORK="Z:${WORK//\//\\}"
# Wine passes the Unix environment on to the Windows program.
"$RUN" "$TESTS" "$@"
status=$?
# The versions (about 100 MB) stay only for a look after a failure.
if [ "$status" -eq 0 ]; then
  cleanup
  rm -rf "$WORK"
fi
exit $status
