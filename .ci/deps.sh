# Installs, with apt-get, the Debian packages that building and testing need,
# and only those that are missing (quick when everything is there). Sourced
# by ./run and ./test.
QIV_PACKAGES=(cmake ninja-build g++ mingw-w64 wine wine32:i386 xvfb fonts-arphic-uming imagemagick
              libgtest-dev libbenchmark-dev clang-14 libclang-rt-14-dev)

qiv_package_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

qiv_install_deps() {
  local missing=() package sudo=
  for package in "${QIV_PACKAGES[@]}"; do
    qiv_package_installed "$package" || missing+=("$package")
  done
  [ ${#missing[@]} = 0 ] && return 0
  [ "$(id -u)" = 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}
