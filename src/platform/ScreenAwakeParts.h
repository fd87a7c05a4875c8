#pragma once

// The means of the real ScreenAwake, one a part; each is built only where its platform and
// packages are (see src/CMakeLists.txt) and acts only under its own window system. The whole
// calls each part once to inhibit and once to release.

#include "platform/ScreenAwake.h"

std::unique_ptr<ScreenAwake> makeX11SaverSuspend();       // ScreenAwakeX11.cpp
std::unique_ptr<ScreenAwake> makeDesktopSaverInhibit();   // ScreenAwakeDBus.cpp
std::unique_ptr<ScreenAwake> makeWaylandIdleInhibit();    // ScreenAwakeWayland.cpp
std::unique_ptr<ScreenAwake> makeWindowsExecutionState(); // ScreenAwakeWindows.cpp
