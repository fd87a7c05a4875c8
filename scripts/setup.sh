#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the station need,
# where they are missing. Safe to run again: it installs nothing that is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-image-formats-plugins
  qt6-httpserver-dev qt6-websockets-dev chromium
  libjpeg62-turbo-dev
  libxcb-screensaver0-dev libwayland-dev wayland-protocols qt6-base-private-dev
  fonts-dejavu-core
  xvfb xdotool x11-utils x11-xkb-utils imagemagick
  xserver-xephyr x11-xserver-utils
  weston qt6-wayland
  openbox xfwm4 xfconf tint2 dbus-daemon
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix
  iproute2 util-linux curl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
