#!/usr/bin/env bash
# Builds the Win32 side of the tree twice, in two scratch directories of
# different paths and under different time zones and umasks, and compares
# qiv98.exe and unqiv.exe byte for byte.
#   reproducible.sh SOURCE_DIR HOST_TOOLS_DIR HOST_DIST_DIR WORK_DIR
# Host programs that the host side leaves in its dist directory (everything
# there but the .exe files) are put into each scratch dist directory, where
# the Win32 side expects them.
set -euo pipefail
source=$1 tools=$2 hostdist=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
build() {
  local dir=$1 f
  mkdir -p "$dir/dist"
  for f in "$hostdist"/*; do
    [ -f "$f" ] && [ "${f%.exe}" = "$f" ] && cp -p "$f" "$dir/dist/"
  done
  cmake -S "$source" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DQIV_DIST_DIR="$dir/dist" \
    -DQIV_HOST_TOOLS_DIR="$tools" >"$dir.log" 2>&1 &&
  cmake --build "$dir" --target qiv98 unqiv >>"$dir.log" 2>&1 || { cat "$dir.log"; return 1; }
}
(umask 022; TZ=UTC build "$work/a")
(umask 077; TZ=Asia/Taipei build "$work/second-build-with-a-longer-path")
status=0
for exe in qiv98.exe unqiv.exe; do
  a=$work/a/dist/$exe b=$work/second-build-with-a-longer-path/dist/$exe
  if cmp "$a" "$b"; then
    echo "$exe: identical ($(stat -c %s "$a") bytes, sha256 $(sha256sum "$a" | cut -c1-16))"
  else
    echo "$exe: the two builds differ"
    status=1
  fi
done
[ "$status" = 0 ] && rm -rf "$work"
exit "$status"
