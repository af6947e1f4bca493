#!/usr/bin/env bash
# Installs every Debian 12 package that Fluxaro needs to build, run and test.
# Runs as root or through sudo; does nothing else (no downloads outside apt).
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-multimedia-dev qt6-svg-dev libgl-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  mediainfo gstreamer1.0-tools gstreamer1.0-plugins-base-apps
  libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev libswresample-dev
  ffmpeg fonts-dejavu-core
  libminizip-dev zlib1g-dev openssl
  libxxhash-dev xxhash libxml2-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  attr xvfb openbox xdotool x11-utils optipng
  qt6-translations-l10n libbluray-bin
  dbus-daemon at-spi2-core libglib2.0-bin desktop-file-utils appstream lintian scdoc librsvg2-bin man-db fakeroot
  udisks2 udev e2fsprogs mount
  dpkg-dev devscripts debhelper
  clang-14 libclang-rt-14-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: every package is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
