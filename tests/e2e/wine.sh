# Shell pieces for running our programs under Wine: prefixes, the Windows
# version, the code page, the display. Sourced by ./run and by the
# end-to-end tests; defines functions only and changes no shell option.
#
# Settings (environment):
#   QIV_WINE_USER   run Wine as this user (root may choose any user; the
#                   prefixes are then made that user's). Default: the user
#                   running the script.
#   QIV_WINE_CACHE  where the pristine template prefix is kept
#                   (default: /tmp/qiv-wine-cache-<user>).
#
# Typical use:
#   qiv_wine_prefix_new "$dir/prefix"            # fresh prefix, Windows 98
#   qiv_wine_set_version "$dir/prefix" win95
#   qiv_wine_run "$dir/prefix" 950 'C:\setup\qiv98.exe'
#   qiv_wine_end "$dir/prefix"

# The locale that gives Wine's programs the ANSI code page CP.
qiv_wine_locale() {
  case "$1" in
    950) echo zh_TW.BIG5 ;;
    936) echo zh_CN.GBK ;;
    932) echo ja_JP.SJIS ;;
    1252) echo en_US.UTF-8 ;;
    *) echo "qiv_wine_locale: no locale known for code page $1" >&2; return 1 ;;
  esac
}

qiv_wine_user() { echo "${QIV_WINE_USER:-$(id -un)}"; }

# The user the end-to-end tests run Wine as: QIV_WINE_USER when set; for
# root an unprivileged user "qivtest", made on first use (as root Wine writes
# over read-only files, which Windows refuses), or "nobody" when no user can
# be made; anyone else runs it as themselves.
qiv_wine_test_user() {
  if [ -n "${QIV_WINE_USER:-}" ]; then echo "$QIV_WINE_USER"; return 0; fi
  if [ "$(id -u)" != 0 ]; then id -un; return 0; fi
  if ! id qivtest >/dev/null 2>&1; then
    (
      flock 9
      id qivtest >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin qivtest >/dev/null 2>&1
    ) 9>/tmp/.qiv-wine-useradd.lock
  fi
  if id qivtest >/dev/null 2>&1; then echo qivtest; else echo nobody; fi
}

# Runs a command as the Wine user with the Wine environment of PREFIX.
#   qiv_wine_as PREFIX CODEPAGE COMMAND [ARGS...]
qiv_wine_as() {
  local prefix=$1 codepage=$2; shift 2
  local locale user home
  locale=$(qiv_wine_locale "$codepage") || return 1
  user=$(qiv_wine_user)
  home=$prefix.home
  local -a environment=(
    WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    HOME="$home" LC_ALL="$locale" LANG="$locale"
    ${DISPLAY:+DISPLAY="$DISPLAY"} PATH="$PATH")
  if [ "$user" = "$(id -un)" ]; then
    env -i "${environment[@]}" "$@"
  else
    runuser -u "$user" -- env -i "${environment[@]}" "$@"
  fi
}

# Runs a Windows program (or wine's own commands) in PREFIX under code page CP.
#   qiv_wine_run PREFIX CODEPAGE PROGRAM [ARGS...]
qiv_wine_run() {
  local prefix=$1 codepage=$2; shift 2
  qiv_wine_as "$prefix" "$codepage" wine "$@"
}

# Waits until the prefix's Wine server has ended (registry written out).
qiv_wine_end() {
  qiv_wine_as "$1" 1252 wineserver -w
}

# Ends every process of the prefix at once (Wine's desktop and services
# would linger a few seconds) and waits until its server has saved the
# registry and gone.
qiv_wine_stop() {
  qiv_wine_as "$1" 1252 wineserver -k 2>/dev/null || true
  qiv_wine_as "$1" 1252 wineserver -w
}

# Stops every process of the prefix at once.
qiv_wine_kill() {
  qiv_wine_as "$1" 1252 wineserver -k 2>/dev/null || true
}

qiv_wine_reg_add() {
  local prefix=$1 key=$2 name=$3 data=$4
  qiv_wine_run "$prefix" 1252 reg add "$key" /v "$name" /d "$data" /f >/dev/null
}

# win95, win98, winme, nt40, win2k, winxp, ...; takes effect for the next
# process started in the prefix.
qiv_wine_set_version() {
  qiv_wine_reg_add "$1" 'HKCU\Software\Wine' Version "$2"
}

# Windows drawn by Wine itself, not handed to a window manager: no window
# manager is needed under Xvfb, and no 2 s stall when a process exits.
qiv_wine_set_unmanaged() {
  qiv_wine_reg_add "$1" 'HKCU\Software\Wine\X11 Driver' Managed N
}

# No display at all: windows, painting and message boxes still work. Takes
# effect once the prefix's Wine server has ended.
qiv_wine_set_null_graphics() {
  qiv_wine_reg_add "$1" 'HKCU\Software\Wine\Drivers' Graphics null
  qiv_wine_end "$1"
}

# Hands PREFIX (and its home) to the Wine user.
qiv_wine_own() {
  local prefix=$1 user
  user=$(qiv_wine_user)
  mkdir -p "$prefix.home"
  if [ "$user" != "$(id -un)" ]; then
    chown -R "$user:" "$prefix" "$prefix.home"
    # A server socket left by another user must not be taken for this one's.
    rm -f "$prefix/wineserver"
  fi
}

# Chinese texts: the Traditional-Chinese faces that Wine asks for under code
# page 950 are served by the free Ming face (fonts-arphic-uming).
qiv_wine_set_chinese_fonts() {
  local face
  for face in PMingLiU MingLiU; do
    qiv_wine_reg_add "$1" 'HKCU\Software\Wine\Fonts\Replacements' "$face" 'AR PL UMing TW'
  done
}

# How prefixes are made; change it whenever qiv_wine_prefix_create changes,
# so that cached templates are made again.
QIV_WINE_RECIPE=2

# Creates a prefix from nothing: 32-bit, Windows 98, unmanaged windows,
# Chinese fonts.
qiv_wine_prefix_create() {
  local prefix=$1
  rm -rf "$prefix" "$prefix.home"
  mkdir -p "$prefix" "$prefix.home"
  qiv_wine_own "$prefix"
  qiv_wine_as "$prefix" 1252 wineboot -i >/dev/null 2>&1 || {
    echo "qiv_wine_prefix_create: wineboot failed in $prefix" >&2; return 1; }
  qiv_wine_set_version "$prefix" win98
  qiv_wine_set_unmanaged "$prefix"
  qiv_wine_set_chinese_fonts "$prefix"
  qiv_wine_end "$prefix"
}

# A fresh prefix at PREFIX, copied from the cached template (made first when
# missing or made by another Wine version or recipe). Safe to call from
# several processes at once.
qiv_wine_prefix_new() {
  local prefix=$1 cache
  cache=${QIV_WINE_CACHE:-/tmp/qiv-wine-cache-$(qiv_wine_user)}
  mkdir -p "$cache"
  (
    flock 9
    local stamp template=$cache/template
    stamp=$(qiv_wine_template_stamp)
    if [ ! -f "$cache/stamp" ] || [ "$(cat "$cache/stamp")" != "$stamp" ] || [ ! -d "$template/drive_c" ]; then
      rm -f "$cache/stamp"
      qiv_wine_prefix_create "$template" || exit 1
      echo "$stamp" > "$cache/stamp"
    fi
    qiv_wine_prefix_copy "$template" "$prefix"
  ) 9>"$cache/lock"
}

# What a cached template was made by: the Wine version, the user, the recipe.
qiv_wine_template_stamp() {
  echo "$(wine --version 2>/dev/null) win32 $(qiv_wine_user) recipe $QIV_WINE_RECIPE"
}

# A scratch directory WORK holding a fresh prefix WORK/prefix with the null
# graphics driver and an empty C:\t for the programs a test copies in.
qiv_wine_scratch_prefix() {
  local work=$1
  rm -rf "$work"
  mkdir -p "$work"
  qiv_wine_prefix_new "$work/prefix"
  qiv_wine_set_null_graphics "$work/prefix"
  mkdir -p "$work/prefix/drive_c/t"
}

# Makes the template prefix in CACHE anew, whatever is there (the end-to-end
# tests make one per run), with Wine's null graphics driver when the second
# argument is "null"; qiv_wine_prefix_new and qiv_wine_prefix_copy then copy
# it.
qiv_wine_template_make() {
  local cache=$1 graphics=${2:-}
  mkdir -p "$cache"
  (
    flock 9
    rm -f "$cache/stamp"
    qiv_wine_prefix_create "$cache/template" || exit 1
    if [ "$graphics" = null ]; then qiv_wine_set_null_graphics "$cache/template" || exit 1; fi
    # The stamp qiv_wine_prefix_new checks: it copies this template as it is.
    qiv_wine_template_stamp >"$cache/stamp"
  ) 9>"$cache/lock"
}

# An independent working copy of the prefix TEMPLATE at PREFIX (cp -a: hard
# links would let the copies share files), owned by the Wine user.
qiv_wine_prefix_copy() {
  local template=$1 prefix=$2
  [ -d "$template/drive_c" ] || { echo "qiv_wine_prefix_copy: no prefix at $template" >&2; return 1; }
  rm -rf "$prefix" "$prefix.home"
  mkdir -p "$(dirname "$prefix")"
  cp -a "$template" "$prefix"
  rm -f "$prefix/wineserver"
  qiv_wine_own "$prefix"
}

# The Windows form of a path on the Linux side (drive Z: is the root).
qiv_wine_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

# Starts a private X server, sets DISPLAY and QIV_XVFB_PID.
#   qiv_xvfb_start [WIDTHxHEIGHTxDEPTH]
qiv_xvfb_start() {
  local geometry=${1:-1024x768x24} n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # -ac: any local user may draw on it (the Wine user may not be us).
    Xvfb ":$n" -screen 0 "$geometry" -nolisten tcp -ac >/dev/null 2>&1 &
    QIV_XVFB_PID=$!
    local waited
    for waited in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$QIV_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$QIV_XVFB_PID" 2>/dev/null
    wait "$QIV_XVFB_PID" 2>/dev/null
  done
  echo "qiv_xvfb_start: no X server could be started" >&2
  return 1
}

qiv_xvfb_stop() {
  if [ -n "${QIV_XVFB_PID:-}" ]; then
    kill "$QIV_XVFB_PID" 2>/dev/null
    wait "$QIV_XVFB_PID" 2>/dev/null
    QIV_XVFB_PID=
  fi
}

# Prints a transcript written by the robot in code page CP as UTF-8.
qiv_transcript_utf8() {
  local transcript=$1 codepage=$2
  iconv -f "CP$codepage" -t UTF-8 "$transcript"
}
