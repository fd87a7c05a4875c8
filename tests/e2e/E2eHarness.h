#pragma once

// End-to-end harness: the real station binary in an X server of its own, driven only by real
// X11 key and mouse events, against a scripted event server on loopback.
//
// The test process re-runs itself in private mount, host-name and network namespaces, where
// the host name "e2e-judge" resolves to 127.0.0.2 and only the loopback interface exists: the
// station's "This Computer" then means 127.0.0.2 whatever machine the test runs on.

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace e2e {

constexpr const char *kHostName = "e2e-judge";
constexpr const char *kHostAddress = "127.0.0.2";
constexpr quint16 kConsolePort = 8963;
// "Connect Console" on the opening page of the design layout at 1218 x 805.
constexpr int kConnectConsoleX = 5 + 14 + 113, kConnectConsoleY = 157 + 104 + 42;

// Re-executes the test inside the namespaces (returns only when that is impossible or when
// already inside). Returns false when the test cannot be isolated.
bool enterIsolation(int argc, char **argv);
bool isolated();

// One Xvfb server.
class XServer
{
public:
    ~XServer();
    bool start(int width, int height);
    // A screen that can be turned, as a tablet's is: Xephyr (which turns its screen through
    // RandR) in an Xvfb that holds both shapes; its display is Xephyr's. turnable() tells
    // whether Xephyr and xrandr are installed.
    static bool turnable();
    bool startTurnable(int width, int height);
    // Turns the screen a quarter to the left (portrait) or back (landscape).
    bool turn(bool portrait);
    void stop();
    QString display() const { return display_; }
    QProcessEnvironment environment() const;

private:
    QProcess nested_;  // Xephyr, on a turnable screen
    QProcess process_;
    QString display_;
};

// A window manager, and a panel that keeps a strip of the screen, on an X server.
class Desktop
{
public:
    enum Kind { NoWindowManager, Openbox, XfwmWithTint2 };
    ~Desktop();
    // Starts it and waits until it manages the screen (and the panel has taken its strip).
    bool start(const XServer &x, Kind kind);
    void stop();

private:
    QList<QProcess *> processes_;
};

// The screen's work area (_NET_WORKAREA), or the whole screen where no one sets it.
QRect workArea(const XServer &x);
// The visible top-level window whose name is exactly `name` ("" when there is none).
QString findWindow(const XServer &x, const QString &name);
// A window's place on the screen (without a window manager's frame) and one of its properties
// as xprop prints it.
QRect windowGeometry(const XServer &x, const QString &id);
QByteArray windowProperty(const XServer &x, const QString &id, const QString &property);

// The X server's screen saver: its timeout set (seconds, no cycling) and its state as the
// MIT-SCREEN-SAVER extension reports it (QueryInfo): whether it is on now. Both false when
// the server cannot be asked.
bool setScreenSaverTimeout(const XServer &x, int seconds);
bool screenSaverOn(const XServer &x);

// Holds the host-name lookup of any process started meanwhile until release(): /etc/hosts is
// replaced by a pipe that gives the hosts file only then. The station's start-up waits at the
// lookup with the obtaining-address window up.
class HostsLookupHold
{
public:
    ~HostsLookupHold();
    bool engage();
    void release();

private:
    QByteArray fifo_;
    QByteArray hosts_;
    bool engaged_ = false;
};

// Runs a command against the display and returns its standard output (empty on failure).
QByteArray run(const XServer &x, const QString &program, const QStringList &args, int timeoutMs = 10000);

// Real input through xdotool.
void click(const XServer &x, int screenX, int screenY);
void doubleClick(const XServer &x, int screenX, int screenY);
void key(const XServer &x, const QString &keys);  // e.g. "6", "shift+x", "KP_6", "ctrl+6", "Return"
QImage screenshot(const XServer &x);

// The scripted event server: accepts stations, records what each one sends, frames and
// sends messages, and can drop a connection.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    ScriptedServer();
    bool listen(const QString &address = QString::fromLatin1(kHostAddress), quint16 port = kConsolePort);
    void close();

    int connectionCount() const { return int(connections_.size()); }
    QTcpSocket *connection(int i) const { return connections_.value(i); }
    QTcpSocket *latest() const { return connections_.isEmpty() ? nullptr : connections_.last().data(); }
    // Everything received on connection i (or on the latest one).
    QByteArray received(int i = -1) const;
    // The complete messages received so far on connection i, each without its EOT.
    QList<QByteArray> messages(int i = -1) const;
    // The same, each as its command, a blank and its payload, DC1 written "<DC1>".
    QStringList commands(int i = -1) const;
    // Frames a message as the event server ("VRX ") and sends it on the latest connection.
    void send(const QByteArray &command, const QByteArray &payload);
    void sendRaw(const QByteArray &bytes);
    void dropLatest();

private:
    QTcpServer server_;
    QList<QPointer<QTcpSocket>> connections_;
    QList<QByteArray> buffers_;
};

// The keyboard layout of an X server (setxkbmap), e.g. "fr", "be", "de", "ch", "ru": what its
// keycodes give, to its own clients, to Wine and to a weston started on it afterwards.
bool setKeyboardLayout(const XServer &x, const QString &layout);

// Weston on its x11 backend: its output is a window that fills the X server's screen, drawn
// only where its clients' damage says, as a compositor on a real screen is; screenshots of the
// X server are what the compositor shows. Its keyboard has the X server's layout and takes
// the X server's keys (xdotool), its pointer the X server's pointer, which it draws itself.
class Weston
{
public:
    enum Shell { Kiosk, Desktop };
    ~Weston();
    // Starts it filling the X server's screen (of the size given) and waits for its socket.
    bool start(const XServer &x, int width, int height, Shell shell = Kiosk);
    void stop();
    QProcess &process() { return process_; }
    // A Wayland client's environment: the compositor's socket and Qt's Wayland plugin, no
    // DISPLAY.
    QProcessEnvironment clientEnvironment() const;
    // Whether weston and Qt's Wayland plugin (qt6-wayland) are installed.
    static bool available();

private:
    QProcess process_;
    QTemporaryDir runtime_;
    QProcessEnvironment env_;
};

// The bounding box of the pixels in which two screenshots of the same size differ, outside
// `ignored` (empty when they agree; the whole of `a` when the sizes differ).
QRect differingPixels(const QImage &a, const QImage &b, const QRect &ignored = QRect());

// The station's program: MARLO_E2E_STATION when set (a Windows build's marlo-dv.exe is run
// under Wine, $WINE or Debian's wine64), else this build's marlo-dv.
QString stationBinary();
bool underWine();
// How long the station may take to show its opening page.
int startUpMs();

// The station binary, started in a fresh working directory.
class Station
{
public:
    explicit Station(const XServer &x);
    ~Station();
    // The station's environment instead of the X server's (a Wayland client's, ...).
    void setEnvironment(const QProcessEnvironment &env) { env_ = env; }
    bool start(const QString &workingDir);
    // A command the station is started through (e.g. "ip netns exec NAME"); none by default.
    void setCommandPrefix(const QStringList &prefix) { prefix_ = prefix; }
    bool waitForOpeningPage(int timeoutMs = startUpMs());
    // Kills the station; under Wine it also ends the prefix's Wine session.
    void kill();
    bool running() const { return process_.state() != QProcess::NotRunning; }
    bool waitForExit(int timeoutMs);
    QByteArray output() { return process_.readAllStandardError() + process_.readAllStandardOutput(); }
    // The process, for signals, and how it ended.
    qint64 pid() const { return process_.processId(); }
    int exitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
    // Sends `signal` (SIGTERM, ...) to the station.
    bool signal(int signal);
    // Whether a visible top-level window has this exact title.
    bool windowTitled(const QString &title) const;

private:
    const XServer &x_;
    QProcess process_;
    QStringList prefix_;
    QProcessEnvironment env_;
    bool wineEnded_ = false;
};

// An end-to-end suite: skipped where the namespaces cannot be made, and each test given an
// empty folder of its own for the station to start in.
class Suite : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

protected:
    std::unique_ptr<QTemporaryDir> dir_;
};

// A suite's main(): into the namespaces, then the suite run under an offscreen application.
template <class T>
int runSuite(int argc, char **argv)
{
    enterIsolation(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    T suite;
    return QTest::qExec(&suite, argc, argv);
}

} // namespace e2e
