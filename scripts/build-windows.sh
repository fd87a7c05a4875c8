#!/usr/bin/env bash
# Cross-builds the station, console-sim and the unit tests for 64-bit Windows with the Qt of
# scripts/windows-toolchain.sh (built once per machine), into build-win/, and puts the DLLs
# the programs need beside them (build-win/bin, build-win/tests).
#
#   bash scripts/build-windows.sh            # build-win/bin/marlo-dv.exe, console-sim.exe
set -euo pipefail
cd "$(dirname "$0")/.."
# The Debian packages the Windows build, its Wine tests and its installer need.
need=()
for p in ninja-build wine64 nsis zip; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
QT=$(bash scripts/windows-toolchain.sh | tail -n1)
BUILD=${BUILD_WIN:-build-win}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-$(command -v ccache || true)}
# The cross compiler comes from this checkout's toolchain file, never from the path the Qt
# was configured with: that checkout may be gone (CI builds the Qt from a throwaway clone).
if [ ! -f "$BUILD/build.ninja" ]; then
  "$QT/bin/qt-cmake" -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$(pwd)/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > /dev/null
fi
cmake --build "$BUILD" -j"${JOBS:-2}" "$@"
