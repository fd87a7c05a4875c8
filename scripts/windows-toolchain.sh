#!/usr/bin/env bash
# Builds Qt 6.4.2 for 64-bit Windows (mingw-w64) from Debian's own qt6-base source, once per
# machine, into a cache folder outside the checkout. Later runs find the stamp and return at
# once. Prints the folder of the installed Qt on its last line.
#
#   bash scripts/windows-toolchain.sh          # build when missing, print the folder
#   bash scripts/windows-toolchain.sh --fetch  # only its packages and the source, no build
#
# Only what the Windows programs use is built: Core, Gui, Widgets, Network and Test, the
# windows, offscreen and minimal platforms and the JPEG reader. One run at a time per cache:
# a second run waits for the first and then finds its stamp. .ci/run starts the build in the
# background at low priority while the Linux tests run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

QT_VERSION=6.4.2
CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/marlo-dv
PREFIX=$CACHE/qt-$QT_VERSION-mingw
OPTIONS=(
  -G Ninja
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DINPUT_opengl=no -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_tuiotouch=OFF
)
stamp_text="qt-$QT_VERSION ${OPTIONS[*]}"
stamp_text=${stamp_text//$root/ROOT}

fetch_only=false
[ "${1:-}" = "--fetch" ] && fetch_only=true

mkdir -p "$CACHE"
exec 9> "$CACHE/toolchain.lock"
flock 9

if [ -f "$PREFIX/.marlo-stamp" ] && [ "$(cat "$PREFIX/.marlo-stamp")" = "$stamp_text" ]; then
  echo "$PREFIX"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Debian's source packages: a deb-src entry beside each of the machine's own Debian entries
# (their URIs, suites, components and keys), so that the script works behind any mirror.
src_list=/etc/apt/sources.list.d/marlo-dv-deb-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { echo "windows-toolchain: no VERSION_CODENAME in /etc/os-release" >&2; exit 1; }
  entries=$(bash "$root/scripts/deb-src-entries.sh" "$codename")
  [ -n "$entries" ] || {
    echo "windows-toolchain: no apt source of this machine serves Debian $codename; add a deb-src entry for it" >&2
    exit 1
  }
  printf '%s\n' "$entries" | $SUDO tee "$src_list" > /dev/null
  $SUDO apt-get update -qq
fi

# Only Debian's 6.4.2 is known to build with the options above and to match the host tools.
src_version=$(apt-cache showsrc qt6-base 2>/dev/null | sed -n 's/^Version: //p' | grep "^$QT_VERSION" | head -n1 || true)
if [ -z "$src_version" ]; then
  echo "windows-toolchain: the apt sources offer no qt6-base $QT_VERSION source (found: $(apt-cache showsrc qt6-base 2>/dev/null | sed -n 's/^Version: //p' | tr '\n' ' '))" >&2
  exit 1
fi

need=()
for p in g++-mingw-w64-x86-64-posix ninja-build dpkg-dev cmake qt6-base-dev qt6-base-dev-tools; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# The source is fetched once (a fetch marks its folder done); the build starts afresh.
work=$CACHE/qt-build
source_dir=$CACHE/qt-source-$src_version
if [ ! -f "$source_dir/.fetched" ]; then
  rm -rf "$source_dir"
  mkdir -p "$source_dir"
  echo "windows-toolchain: fetching Debian's qt6-base $src_version source" >&2
  (cd "$source_dir" && apt-get source -qq qt6-base="$src_version" >&2)
  touch "$source_dir/.fetched"
fi
srcdir=$(find "$source_dir" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -n "$srcdir" ] || { echo "windows-toolchain: no qt6-base source in $source_dir" >&2; exit 1; }
if $fetch_only; then
  exit 0
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"

echo "windows-toolchain: configuring Qt for mingw-w64 into $PREFIX" >&2
rm -rf "$PREFIX"
cmake -S "$srcdir" -B build "${OPTIONS[@]}" -DCMAKE_INSTALL_PREFIX="$PREFIX" > configure.log 2>&1 ||
  { tail -n 40 configure.log >&2; exit 1; }
echo "windows-toolchain: building (some 20 to 25 minutes on 2 idle cores)" >&2
cmake --build build --parallel "$(nproc)" > build.log 2>&1 || { tail -n 60 build.log >&2; exit 1; }
cmake --install build > install.log 2>&1 || { tail -n 40 install.log >&2; exit 1; }
# Qt's qt.toolchain.cmake loads the toolchain file it was configured with, by its absolute
# path in this checkout; keep a copy beside it so that the Qt outlives the checkout.
cp "$root/cmake/mingw-w64-x86_64.cmake" "$PREFIX/lib/cmake/Qt6/"
sed -i "s|\"$root/cmake/mingw-w64-x86_64.cmake\"|\"\${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake\"|" \
  "$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake"
printf '%s' "$stamp_text" > "$PREFIX/.marlo-stamp"
cd "$CACHE" && rm -rf "$work" "$source_dir"
echo "$PREFIX"
