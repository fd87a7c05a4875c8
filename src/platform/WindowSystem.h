#pragma once

#include "platform/KeyMapping.h"

#include <QString>

#include <functional>

class QObject;

// The window system the station runs under, as the toolkit's platform plugin names it ("xcb",
// "wayland", "windows", "offscreen", ...): each question is asked by what the station needs to
// know, and only here is the window system told apart by its name.
class WindowSystem
{
public:
    explicit WindowSystem(const QString &platformName) : name_(platformName) {}
    // The window system the toolkit runs on.
    static WindowSystem current();

    // A Wayland compositor: it sizes a maximised window itself, and places every window itself.
    bool isWayland() const;
    // Whether a window system runs the windows, one that knows a maximised state and may keep a
    // part of the screen for itself (panels, docks): not the off-screen or single-surface
    // platforms, where the station places itself.
    bool maximises() const;
    // What a key press carries besides the toolkit's key.
    NativeKeys nativeKeys() const;

    // Runs `handler` on the main thread when the window system's session ends, before the window
    // system is answered: the session manager's request to save and, on Windows, WM_ENDSESSION,
    // the last word before the process is ended. As long as `context` lives.
    static void onSessionEnd(QObject *context, const std::function<void()> &handler);

private:
    QString name_;
};
