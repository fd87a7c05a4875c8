#pragma once

#include <memory>

class QWindow;

// Keeps the judge's screen on while the station runs: no screen saver, no display power
// saving. `inhibit` is called once the main window is shown, `release` at close; an inhibit
// while held, or a release while not, does nothing. A window system that offers none of the
// means leaves the screen to its own settings: each missing means is logged once and the
// station goes on.
class ScreenAwake
{
public:
    virtual ~ScreenAwake() = default;
    // `window` is the station's main window (shown), for the means tied to a surface.
    virtual void inhibit(QWindow *window) = 0;
    virtual void release() = 0;
};

// The platform's own means, those that this build has: the X screen saver extension's
// suspend (which also holds off DPMS), the desktop's org.freedesktop.ScreenSaver inhibit over
// the session bus, Wayland's idle-inhibit protocol on the window's surface; on Windows
// SetThreadExecutionState.
std::shared_ptr<ScreenAwake> makeRealScreenAwake();
