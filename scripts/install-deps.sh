#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not installed yet.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6core5compat6-dev
  qt6-tools-dev qt6-svg-dev libqt6opengl6-dev
  qt6-connectivity-dev libqt6bluetooth6-bin gammu
  libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgammu-dev
  libplist-dev libsqlcipher-dev libudev-dev
  zip unzip
  dosfstools fusefat
  xvfb x11-apps
  python3
  python3-vobject python3-dbusmock python3-icalendar
  libical-dev
  vdirsyncer radicale curl khal khard
  openobex-apps obexftp
  libpoppler-qt6-dev poppler-utils qpdf
  ffmpeg
  libwbxml2-dev libwbxml2-utils
  syncevolution syncevolution-dbus dbus
  qt6-multimedia-dev gstreamer1.0-plugins-good gstreamer1.0-plugins-base gstreamer1.0-libav
  python3-reportlab
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
