#pragma once

#include "station/Settings.h"

#include <QMutex>
#include <QObject>

#include <atomic>

class TMainForm;

// Ends the station as its Close does, without the question, when the station is told to end
// from outside:
// - SIGTERM, SIGINT and SIGHUP (a kiosk or system shutdown, a closed terminal; on Windows the
//   console's control events), brought to the event loop by `TerminationSignals`; a second
//   signal while the first is being handled ends the process at once with status 128 + the
//   signal;
// - the end of the window system's session (the session manager's request to save; on Windows
//   WM_ENDSESSION too), from `WindowSystem::onSessionEnd`;
// - the display connection breaking: the settings are written from the values kept current
//   here (the window's last geometry, the server entry and the function) and the disconnect
//   is attempted before the process ends.
// One per process; it lives as long as the main window.
class StationShutdown : public QObject
{
    Q_OBJECT
public:
    explicit StationShutdown(TMainForm &form);
    ~StationShutdown() override;

    // The settings as last seen; safe from any thread.
    StationSettings keptSettings() const;
    // What the station does when its display has gone (any thread).
    void DisplayLost();
    // The close without the question, for the end of the session or a signal (on Windows a
    // console control event): main thread.
    void ShutDownFromOutside();

    // Whether a message of the windowing toolkit reports that the display connection broke.
    static bool IsDisplayLossMessage(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void keep();
    void closeAfterDisplayLoss();  // main thread

    TMainForm &form_;
    mutable QMutex mutex_;
    StationSettings kept_;
    // Until the window's show has read the settings file, its server entry and function are
    // those of the file: a display lost that early must not write them away.
    StationSettings fromFile_;
    bool settingsRead_ = false;
    std::atomic<bool> settingsWritten_ {false};
    QMutex closeMutex_;
    std::atomic<bool> closeStarted_ {false};
    std::atomic<bool> displayLostAsked_ {false};  // of the main thread, once
};
