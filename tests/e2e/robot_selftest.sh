#!/usr/bin/env bash
# The robot against probe.exe, whose boxes are known: it must read captions,
# Big5 texts (including characters whose second byte is a backslash), owners,
# buttons and icons, press the scripted buttons and report the exit status
# made of the answers; a scripted button that a box lacks must fail the run.
#   robot_selftest.sh E2E_BIN_DIR WORK_DIR
set -euo pipefail
bin=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine.sh"
QIV_WINE_USER=$(qiv_wine_test_user)
export QIV_WINE_USER

qiv_wine_scratch_prefix "$work"
prefix=$work/prefix
cp "$bin/robot.exe" "$bin/probe.exe" "$prefix/drive_c/t/"
qiv_wine_own "$prefix"

failures=0
# run NAME CODEPAGE EXPECTED_ROBOT_STATUS ROBOT_ARGS...; EXPECTED on stdin (UTF-8)
run() {
  local name=$1 codepage=$2 want=$3; shift 3
  local status=0
  qiv_wine_run "$prefix" "$codepage" 'C:\t\robot.exe' --timeout 60 --transcript "C:\\t\\$name.txt" "$@" \
    -- 'C:\t\probe.exe' >"$work/$name.out" 2>&1 || status=$?
  # Read as Big5 whatever the code page: the texts are probe's Big5 bytes.
  # A box's own rectangle depends on the fonts: only its form is checked.
  qiv_transcript_utf8 "$prefix/drive_c/t/$name.txt" 950 |
    sed '/^rect=-\?[0-9]\+,-\?[0-9]\+,[1-9][0-9]*,[1-9][0-9]*$/d' >"$work/$name.got"
  cat >"$work/$name.want"
  if [ "$status" != "$want" ] || ! diff -u "$work/$name.want" "$work/$name.got"; then
    echo "FAIL $name: robot status $status (want $want)"
    cat "$work/$name.out"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

run cancel_retry 950 0 --answers 2,4 <<'T'
robot acp=950
box 1
caption=測試
text=機器人測試\n第二行
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1 2
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=2
end
box 2
caption=Probe
text=許功蓋
owner=-
buttons=2 4
icon=no
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=4
end
box 3
caption=Probe
text=end
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
exit=241
result=ok
T

# Box 2 has no OK: the robot presses its first button (Cancel) and fails.
run missing_button 950 1 --answers 1,1 <<'T'
robot acp=950
box 1
caption=測試
text=機器人測試\n第二行
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1 2
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
box 2
caption=Probe
text=許功蓋
owner=-
buttons=2 4
icon=no
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=2
end
box 3
caption=Probe
text=end
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
exit=121
result=failed: box 2 has no button 1
T

# Under code page 1252 the robot reports that code page; each Big5 byte is
# a character of code page 1252 there, so the texts come back byte for byte.
run western 1252 0 --answers 2,2 <<'T'
robot acp=1252
box 1
caption=測試
text=機器人測試\n第二行
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1 2
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=2
end
box 2
caption=Probe
text=許功蓋
owner=-
buttons=2 4
icon=no
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=2
end
box 3
caption=Probe
text=end
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
exit=221
result=ok
T

# --boxes 2: the third box was not expected; it has no Cancel, so its only
# button is pressed, and the run fails.
run unexpected_box 950 1 --boxes 2 --answers 1,4 <<'T'
robot acp=950
box 1
caption=測試
text=機器人測試\n第二行
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1 2
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
box 2
caption=Probe
text=許功蓋
owner=-
buttons=2 4
icon=no
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=4
end
box 3
caption=Probe
text=end
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
exit=141
result=failed: box 3 was not expected (2 expected)
T

# --boxes 4: the program ended after three.
run missing_box 950 1 --boxes 4 --answers 2,2 <<'T'
robot acp=950
box 1
caption=測試
text=機器人測試\n第二行
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1 2
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=2
end
box 2
caption=Probe
text=許功蓋
owner=-
buttons=2 4
icon=no
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=2
end
box 3
caption=Probe
text=end
owner=RobotProbe
owner_rect=40,30,300,200
buttons=1
icon=yes
window=RobotProbe 40,30,300,200 client=44,53,292,173
answer=1
end
exit=221
result=failed: 4 boxes expected, 3 shown
T

qiv_wine_kill "$prefix"
rm -rf "$prefix" "$prefix.home"
[ "$failures" = 0 ]
