#!/usr/bin/env bash
# Builds the Debian package and checks that it installs and starts on a clean Debian 12:
# a minimal system made with debootstrap (from this machine's own Debian mirror), the package
# installed with apt (which brings its Qt dependencies), then the station started through its
# launcher on the offscreen platform and console-sim run on the shipped event file.
# Needs root and network access to the Debian mirror; takes a few minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v debootstrap > /dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
bash scripts/build.sh
(cd build && cpack -G DEB > /dev/null)
deb=$(ls -1 build/marlo-dv_*_amd64.deb | tail -n 1)
mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
root=$(mktemp -d)
trap 'umount "$root/proc" 2>/dev/null || true; rm -rf "$root"' EXIT
debootstrap --variant=minbase bookworm "$root" ${mirror:+"$mirror"} > "$root.debootstrap.log"
cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/" 2>/dev/null || true
cp "$deb" "$root/tmp/"
mount -t proc proc "$root/proc"
chroot "$root" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$deb")" > /dev/null
chroot "$root" sh -c '
  export HOME=/root QT_QPA_PLATFORM=offscreen
  console-sim --check /usr/share/marlo-dv/demo-event.txt
  status=0; timeout 5 marlo-dv-launcher > /dev/null 2>&1 || status=$?
  [ "$status" -eq 124 ] || { echo "the station ended by itself ($status)"; exit 1; }
  test -d /root/.local/share/marlo-dv
  test -f /usr/share/applications/marlo-dv.desktop
  test -f /usr/share/icons/hicolor/256x256/apps/marlo-dv.png
'
echo "package: $(basename "$deb") installs and starts on a clean Debian 12"
