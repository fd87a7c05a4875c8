#pragma once

#include "Elements.h"
#include "Fakes.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class LoopbackServer;
class TMainForm;

// The tests' one station: the real main window on the fake platform (host "JUDGE-PC" at
// 127.0.0.1, a screen of the given size), in a temporary working directory (so Settings.ini is
// the test's own), with the link's message boxes recorded instead of shown and the close
// confirmed. The fakes may be changed until start(): the deferred start-up reads them.
class TestStation
{
public:
    explicit TestStation(const QRect &screen = QRect(0, 0, 1218, 805));
    ~TestStation();
    TestStation(const TestStation &) = delete;
    TestStation &operator=(const TestStation &) = delete;

    // Shows the window and waits for the end of the deferred start-up: the tests' one way to
    // bring a station up.
    bool start(int timeoutMs = 5000);
    // Selects the judge (0 = Judge 1), points the link at `server` and presses
    // "Connect Console"; true when the server has accepted the station and got its "CC".
    bool connectTo(LoopbackServer &server, int judgeIndex = 0);

    QString workDir() const { return dir_.path(); }

    FakePlatform fakes;
    std::unique_ptr<TMainForm> form;
    QStringList boxes;  // texts of the link's message boxes, in order

private:
    QTemporaryDir dir_;
    QString previousDir_;
};
