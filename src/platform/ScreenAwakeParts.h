#pragma once

// The parts of the real ScreenAwake, one a means; each is built only where its platform and
// packages are (see src/CMakeLists.txt) and applies only under its own window system.

#include <memory>

class QWindow;

class AwakePart
{
public:
    virtual ~AwakePart() = default;
    virtual void hold(QWindow *window) = 0;
    virtual void release() = 0;
};

std::unique_ptr<AwakePart> makeX11SaverSuspend();      // ScreenAwakeX11.cpp
std::unique_ptr<AwakePart> makeDesktopSaverInhibit();  // ScreenAwakeDBus.cpp
std::unique_ptr<AwakePart> makeWaylandIdleInhibit();   // ScreenAwakeWayland.cpp
std::unique_ptr<AwakePart> makeWindowsExecutionState(); // ScreenAwakeWindows.cpp
