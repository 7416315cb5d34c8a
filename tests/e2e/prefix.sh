#!/usr/bin/env bash
# The run's template prefix for the end-to-end tests, made anew at the start
# of every test run (a ctest fixture) and removed at its end.
#   prefix.sh make WORK BIN WORK/cache/template: 32-bit, Windows 98, Wine's
#                           null graphics driver, owned by the Wine user;
#                           BIN holds robot.exe
#   prefix.sh remove WORK   the template and whatever scenarios left in WORK
set -euo pipefail
action=$1 work=$2 bin=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine.sh"
QIV_WINE_USER=$(qiv_wine_test_user)
export QIV_WINE_USER

case "$action" in
  make)
    # Every directory on the way must be open to the Wine user.
    mkdir -p "$work"
    chmod 755 "$work"
    if [ "$QIV_WINE_USER" != "$(id -un)" ] && ! runuser -u "$QIV_WINE_USER" -- test -x "$work"; then
      echo "prefix.sh: $QIV_WINE_USER cannot reach $work" >&2
      exit 1
    fi
    SECONDS=0
    template=$work/cache/template
    qiv_wine_template_make "$work/cache" null
    # The first windowed program in a prefix makes Wine set up its desktop,
    # display devices and keyboard layouts in the registry, once; done here,
    # a scenario's registry then changes only by what its programs do. The
    # robot is such a program; it runs cmd.exe, which ends at once.
    cp "$bin/robot.exe" "$template/drive_c/qiv-prime.exe"
    qiv_wine_own "$template"
    qiv_wine_run "$template" 950 'C:\qiv-prime.exe' --timeout 30 --boxes 0 -- 'C:\windows\system32\cmd.exe' /c exit >/dev/null
    rm -f "$template/drive_c/qiv-prime.exe"
    # Every Windows 98 has the layouts key (with the system's own layouts); a
    # fresh Wine prefix has none (the first desktop's set-up even removes one
    # made before it), and the uninstaller's opening it would make it.
    qiv_wine_run "$template" 950 reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layouts' /f >/dev/null
    qiv_wine_end "$template"
    echo "template prefix for $QIV_WINE_USER made in $work/cache/template in about $SECONDS s"
    ;;
  remove)
    if [ -d "$work/cache/template" ]; then qiv_wine_kill "$work/cache/template"; fi
    rm -rf "$work/cache" "$work/scenarios"
    ;;
  *)
    echo "usage: prefix.sh make WORK BIN | prefix.sh remove WORK" >&2
    exit 2
    ;;
esac
