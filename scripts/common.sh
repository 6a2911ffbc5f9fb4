# Shared by scripts/run and scripts/test: the Debian packages the build needs, and the build itself.
# shellcheck shell=bash

KV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KV_BUILD=${KV_BUILD:-$KV_ROOT/build}

KV_PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libtbb-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev libimagequant-dev libexiv2-dev liblcms2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libimage-exiftool-perl libjpeg-turbo-progs imagemagick
  qt6-qpa-plugins libqt6svg6 breeze-icon-theme adwaita-icon-theme
  xvfb xauth xdotool dbus at-spi2-core python3-pyatspi
  desktop-file-utils appstream optipng
)

# Installs what is missing; says nothing when everything is there.
kv_install_packages() {
  local missing=()
  for p in "${KV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null; then
    "${sudo[@]}" apt-get update -q >/dev/null
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

kv_build() {
  cmake -S "$KV_ROOT" -B "$KV_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$KV_BUILD" --parallel "$(nproc)"
}

# Keeps a screenshot as a small PNG: no metadata, then optipng's smallest encoding of the same pixels.
kv_keep_png() {
  /usr/bin/convert "$1" -strip "$2"
  optipng -quiet -o5 -strip all "$2"
}
