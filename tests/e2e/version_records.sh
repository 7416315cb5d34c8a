#!/usr/bin/env bash
# The version records and icons of qiv98.exe and unqiv.exe as a program on
# Windows 98 with code page 950 reads them (GetFileVersionInfoA and
# VerQueryValueA, FindResourceA): Big5 texts, the versions, the
# Traditional-Chinese translation, icons of 32x32 and 16x16 in 16 colours.
#   version_records.sh E2E_BIN_DIR DIST_DIR WORK_DIR
set -euo pipefail
bin=$1 dist=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine.sh"
QIV_WINE_USER=$(qiv_wine_test_user)
export QIV_WINE_USER

qiv_wine_scratch_prefix "$work"
prefix=$work/prefix
cp "$bin/verinfo.exe" "$dist/qiv98.exe" "$dist/unqiv.exe" "$prefix/drive_c/t/"
qiv_wine_own "$prefix"

failures=0
check() {
  local exe=$1 icon=$2
  qiv_wine_run "$prefix" 950 'C:\t\verinfo.exe' "C:\\t\\$exe" "$icon" | tr -d '\r' | iconv -f CP950 -t UTF-8 >"$work/$exe.got" || true
  cat >"$work/$exe.want"
  if diff -u "$work/$exe.want" "$work/$exe.got"; then echo "ok   $exe"; else echo "FAIL $exe"; failures=$((failures + 1)); fi
}

check qiv98.exe 102 <<'T'
fixed=5.7.0.0 5.7.0.0 os=4 type=1
translation=0404 03b6
CompanyName=Tavrin輸入法小組
FileDescription=Tavrin for Windows 95/98/ME 安裝程式
FileVersion=5.7.0.0
InternalName=qiv98
LegalCopyright=版權所有 (C) Tavrin輸入法小組
OriginalFilename=qiv98.exe
ProductName=Tavrin輸入法 for Windows 95/98/ME
ProductVersion=5.7.0.0
icon 102=32x32x4 16x16x4
T

check unqiv.exe 1 <<'T'
fixed=1.1.0.0 1.1.0.0 os=4 type=1
translation=0404 03b6
CompanyName=Tavrin輸入法小組
FileDescription=Tavrin輸入法移除程式 V1.1
FileVersion=1.1.0.0
InternalName=unqiv
LegalCopyright=版權所有 (C) Tavrin輸入法小組
OriginalFilename=unqiv.exe
ProductName=Tavrin輸入法 for Windows 95/98/ME
ProductVersion=1.1.0.0
icon 1=32x32x4 16x16x4
T

qiv_wine_kill "$prefix"
rm -rf "$prefix" "$prefix.home"
[ "$failures" = 0 ]
