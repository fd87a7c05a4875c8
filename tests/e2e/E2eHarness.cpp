#include "E2eHarness.h"

#include "link/ConsoleMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netdb.h>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace e2e {

namespace {

bool g_isolated = false;

QRect windowGeometryFrom(const QByteArray &xwininfo)
{
    auto field = [&](const char *name) {
        const int at = xwininfo.indexOf(name);
        if (at < 0)
            return -1;
        const int end = xwininfo.indexOf('\n', at);
        return xwininfo.mid(at + int(strlen(name)), end - at - int(strlen(name))).trimmed().toInt();
    };
    return QRect(field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:"));
}

bool resolvesToTestAddress()
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    addrinfo *res = nullptr;
    if (getaddrinfo(kHostName, nullptr, &hints, &res) != 0 || !res)
        return false;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(res->ai_addr)->sin_addr, text, sizeof text);
    freeaddrinfo(res);
    return QByteArray(text) == kHostAddress;
}

bool setUpInside()
{
    // A hosts file of our own for this mount namespace.
    const QByteArray path = QByteArray("/tmp/marlo-e2e-hosts-") + QByteArray::number(getpid());
    QFile f(QString::fromLatin1(path));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QByteArray("127.0.0.1 localhost\n") + kHostAddress + ' ' + kHostName + '\n');
    f.close();
    if (mount(path.constData(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
        return false;
    if (sethostname(kHostName, strlen(kHostName)) != 0)
        return false;
    if (std::system("ip link set lo up >/dev/null 2>&1") != 0)
        return false;
    return resolvesToTestAddress();
}

// Whether this process may make the private namespaces (root, or CAP_SYS_ADMIN): tried in a
// child, which ends at once. Without it unshare(1) would fail the whole suite instead of
// letting it skip.
bool mayUnshare()
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0)
        _exit(::unshare(CLONE_NEWNS | CLONE_NEWUTS | CLONE_NEWNET) == 0 ? 0 : errno);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    fprintf(stderr, "e2e: no private namespaces here: %s\n",
            WIFEXITED(status) ? strerror(WEXITSTATUS(status)) : "the probe did not end");
    return false;
}

} // namespace

bool enterIsolation(int argc, char **argv)
{
    if (qgetenv("MARLO_E2E_INSIDE") == "1") {
        g_isolated = setUpInside();
        return g_isolated;
    }
    if (!mayUnshare()) {
        // The test cases skip themselves (CTest reports the suite as skipped).
        g_isolated = false;
        return false;
    }
    setenv("MARLO_E2E_INSIDE", "1", 1);
    std::vector<char *> args;
    args.push_back(const_cast<char *>("unshare"));
    args.push_back(const_cast<char *>("--mount"));
    args.push_back(const_cast<char *>("--uts"));
    args.push_back(const_cast<char *>("--net"));
    args.push_back(const_cast<char *>("--"));
    static QByteArray self = QFile::encodeName(QString::fromLocal8Bit(argv[0]));
    char resolved[4096];
    if (realpath(argv[0], resolved))
        self = resolved;
    args.push_back(self.data());
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("unshare", args.data());
    // No unshare(1): run the test cases as skipped.
    fprintf(stderr, "e2e: no private namespaces here: unshare: %s\n", strerror(errno));
    unsetenv("MARLO_E2E_INSIDE");
    g_isolated = false;
    return false;
}

bool isolated()
{
    return g_isolated;
}

XServer::~XServer()
{
    stop();
}

// Waits until the X server `server` answers on the display of `env`.
static bool answers(const QProcess &server, const QProcessEnvironment &env)
{
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (server.state() != QProcess::Running)
            return false;
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral("xdpyinfo"), {});
        if (probe.waitForFinished(3000) && probe.exitCode() == 0)
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool XServer::start(int width, int height)
{
    // Inside our own network namespace the display number cannot clash with another server.
    for (int n = 42; n < 60; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        display_ = QStringLiteral(":%1").arg(n);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("Xvfb"), {display_, QStringLiteral("-screen"), QStringLiteral("0"),
                                                 QStringLiteral("%1x%2x24").arg(width).arg(height),
                                                 QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                 QStringLiteral("-noreset")});
        if (!process_.waitForStarted(5000))
            return false;
        if (answers(process_, environment()))
            return true;
        stop();
    }
    return false;
}

bool XServer::turnable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xephyr")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty();
}

bool XServer::startTurnable(int width, int height)
{
    // Xephyr in a window of an Xvfb that holds both shapes of its screen.
    const int side = std::max(width, height);
    if (!start(side, side))
        return false;
    const QProcessEnvironment hostEnv = environment();
    const QString host = display_;
    for (int n = host.mid(1).toInt() + 1; n < 60; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        display_ = QStringLiteral(":%1").arg(n);
        nested_.setProcessEnvironment(hostEnv);
        nested_.setProcessChannelMode(QProcess::MergedChannels);
        nested_.start(QStringLiteral("Xephyr"), {display_, QStringLiteral("-screen"),
                                                  QStringLiteral("%1x%2").arg(width).arg(height),
                                                  QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                  QStringLiteral("-noreset")});
        if (nested_.waitForStarted(5000) && answers(nested_, environment()))
            return true;
        nested_.kill();
        nested_.waitForFinished(3000);
    }
    display_ = host;
    stop();
    return false;
}

bool XServer::turn(bool portrait)
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("xrandr"), {QStringLiteral("-o"), portrait ? QStringLiteral("left") : QStringLiteral("normal")});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

void XServer::stop()
{
    if (nested_.state() != QProcess::NotRunning) {
        nested_.terminate();
        if (!nested_.waitForFinished(3000)) {
            nested_.kill();
            nested_.waitForFinished(3000);
        }
    }
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

QProcessEnvironment XServer::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("MARLO_E2E_INSIDE"));
    return env;
}

QByteArray run(const XServer &x, const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(x.environment());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return QByteArray();
    }
    return p.readAllStandardOutput();
}

Desktop::~Desktop()
{
    stop();
}

bool Desktop::start(const XServer &x, Kind kind)
{
    auto launch = [&](const QString &program, const QStringList &args) {
        auto *p = new QProcess;
        p->setProcessEnvironment(x.environment());
        p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(program, args);
        processes_.append(p);
        return p->waitForStarted(5000);
    };
    auto waitFor = [&](const std::function<bool()> &ready) {
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            if (ready())
                return true;
            QThread::msleep(100);
        }
        return false;
    };
    auto managed = [&] {
        return run(x, QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
            .contains("window id");
    };
    switch (kind) {
    case NoWindowManager:
        return true;
    case Openbox:
        return launch(QStringLiteral("openbox"), {}) && waitFor(managed);
    case XfwmWithTint2: {
        // xfwm4 reads its settings over a session bus of its own.
        if (!launch(QStringLiteral("dbus-run-session"),
                    {QStringLiteral("--"), QStringLiteral("xfwm4"), QStringLiteral("--compositor=off")})
            || !waitFor(managed))
            return false;
        const int screenHeight = workArea(x).height();
        return launch(QStringLiteral("tint2"), {}) && waitFor([&] { return workArea(x).height() < screenHeight; });
    }
    }
    return false;
}

void Desktop::stop()
{
    for (QProcess *p : processes_) {
        p->terminate();
        if (!p->waitForFinished(3000)) {
            p->kill();
            p->waitForFinished(3000);
        }
        delete p;
    }
    processes_.clear();
}

QRect workArea(const XServer &x)
{
    const QByteArray out = run(x, QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")});
    const int eq = out.indexOf('=');
    if (eq > 0) {
        const QList<QByteArray> v = out.mid(eq + 1).split(',');
        if (v.size() >= 4)
            return QRect(v[0].trimmed().toInt(), v[1].trimmed().toInt(), v[2].trimmed().toInt(), v[3].trimmed().toInt());
    }
    const QByteArray root = run(x, QStringLiteral("xwininfo"), {QStringLiteral("-root")});
    return windowGeometryFrom(root);
}

namespace {

// A connection of its own to the X server for one request, closed when done.
struct XConnection {
    explicit XConnection(const XServer &x) : screen(0), c(xcb_connect(x.display().toLatin1().constData(), &screen))
    {
        if (xcb_connection_has_error(c))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem; ++i)
            xcb_screen_next(&it);
        root = it.rem ? it.data->root : 0;
    }
    ~XConnection() { xcb_disconnect(c); }
    bool ok() const { return !xcb_connection_has_error(c) && root; }
    int screen = 0;  // before c: xcb_connect sets it
    xcb_connection_t *c;
    xcb_window_t root = 0;
};

} // namespace

bool setScreenSaverTimeout(const XServer &x, int seconds)
{
    XConnection x11(x);
    if (!x11.ok())
        return false;
    xcb_generic_error_t *error = xcb_request_check(
        x11.c, xcb_set_screen_saver_checked(x11.c, int16_t(seconds), 0, XCB_BLANKING_PREFERRED, XCB_EXPOSURES_DEFAULT));
    free(error);
    return !error;
}

bool screenSaverOn(const XServer &x)
{
    XConnection x11(x);
    if (!x11.ok())
        return false;
    xcb_screensaver_query_info_reply_t *info =
        xcb_screensaver_query_info_reply(x11.c, xcb_screensaver_query_info(x11.c, x11.root), nullptr);
    const bool on = info && info->state == XCB_SCREENSAVER_STATE_ON;
    free(info);
    return on;
}

QString findWindow(const XServer &x, const QString &name)
{
    const QByteArray out =
        run(x, QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QStringLiteral("^%1$").arg(QRegularExpression::escape(name))});
    const QList<QByteArray> ids = out.trimmed().split('\n');
    return ids.isEmpty() ? QString() : QString::fromLatin1(ids.last().trimmed());
}

QRect windowGeometry(const XServer &x, const QString &id)
{
    return windowGeometryFrom(run(x, QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}));
}

QByteArray windowProperty(const XServer &x, const QString &id, const QString &property)
{
    return run(x, QStringLiteral("xprop"), {QStringLiteral("-id"), id, property}).trimmed();
}

HostsLookupHold::~HostsLookupHold()
{
    release();
}

bool HostsLookupHold::engage()
{
    QFile hosts(QStringLiteral("/etc/hosts"));
    if (!hosts.open(QIODevice::ReadOnly))
        return false;
    hosts_ = hosts.readAll();
    fifo_ = QByteArray("/tmp/marlo-e2e-hosts-pipe-") + QByteArray::number(getpid());
    unlink(fifo_.constData());
    if (mkfifo(fifo_.constData(), 0644) != 0)
        return false;
    engaged_ = mount(fifo_.constData(), "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
    return engaged_;
}

void HostsLookupHold::release()
{
    if (!engaged_)
        return;
    engaged_ = false;
    // Every reader waiting at the pipe gets the file; after the unmount new readers read it
    // directly, and a reader caught in between is still served for a while.
    bool unmounted = false;
    // A reader that gives up before the write must not end the test.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    const QDeadlineTimer deadline(1500);
    while (!deadline.hasExpired()) {
        const int fd = open(fifo_.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, 0);
            (void)!write(fd, hosts_.constData(), size_t(hosts_.size()));
            close(fd);
            if (!unmounted)
                unmounted = umount("/etc/hosts") == 0;
            continue;
        }
        if (!unmounted && deadline.remainingTime() < 1000)
            unmounted = umount("/etc/hosts") == 0;
        QThread::msleep(20);
    }
    if (!unmounted)
        umount("/etc/hosts");
    sigaction(SIGPIPE, &previous, nullptr);
    unlink(fifo_.constData());
}

void click(const XServer &x, int screenX, int screenY)
{
    run(x, QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(screenX), QString::number(screenY),
         QStringLiteral("click"), QStringLiteral("1")});
}

void doubleClick(const XServer &x, int screenX, int screenY)
{
    run(x, QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(screenX), QString::number(screenY),
         QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
         QStringLiteral("80"), QStringLiteral("1")});
}

void key(const XServer &x, const QString &keys)
{
    run(x, QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"), keys});
}

QImage screenshot(const XServer &x)
{
    const QByteArray png = run(x, QStringLiteral("import"),
                               {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")});
    QImage image;
    image.loadFromData(png, "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

ScriptedServer::ScriptedServer()
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = server_.nextPendingConnection()) {
            const int index = int(connections_.size());
            connections_.append(s);
            buffers_.append(QByteArray());
            connect(s, &QTcpSocket::readyRead, this, [this, s, index] { buffers_[index] += s->readAll(); });
        }
    });
}

bool ScriptedServer::listen(const QString &address, quint16 port)
{
    return server_.listen(QHostAddress(address), port);
}

void ScriptedServer::close()
{
    server_.close();
}

QByteArray ScriptedServer::received(int i) const
{
    if (i < 0)
        i = int(buffers_.size()) - 1;
    return buffers_.value(i);
}

QList<QByteArray> ScriptedServer::messages(int i) const
{
    QList<QByteArray> out = received(i).split(ctl::EOT);
    out.removeLast();  // what follows the last EOT is not complete
    return out;
}

QStringList ScriptedServer::commands(int i) const
{
    QStringList out;
    for (const QByteArray &m : messages(i)) {
        const ConsoleText t = CutConsoleText(m + ctl::EOT);
        out << QString::fromLatin1(t.command + ' ' + t.payload).replace(QChar(0x11), QStringLiteral("<DC1>"));
    }
    return out;
}

void ScriptedServer::send(const QByteArray &command, const QByteArray &payload)
{
    sendRaw(FrameConsoleMessage(command, "IND ", "VRX ", payload));
}

void ScriptedServer::sendRaw(const QByteArray &bytes)
{
    if (QTcpSocket *s = latest()) {
        s->write(bytes);
        s->flush();
    }
}

void ScriptedServer::dropLatest()
{
    if (QTcpSocket *s = latest())
        s->abort();
}

bool setKeyboardLayout(const XServer &x, const QString &layout)
{
    QProcess p;
    p.setProcessEnvironment(x.environment());
    p.start(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layout});
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    const QString query = QString::fromLatin1(run(x, QStringLiteral("setxkbmap"), {QStringLiteral("-query")}));
    return query.contains(QRegularExpression(QStringLiteral("^layout:\\s+%1$").arg(QRegularExpression::escape(layout)),
                                             QRegularExpression::MultilineOption));
}

Weston::~Weston()
{
    stop();
}

bool Weston::start(const XServer &x, int width, int height, Shell shell)
{
    if (!runtime_.isValid())
        return false;
    ::chmod(QFile::encodeName(runtime_.path()).constData(), 0700);
    const QString config = runtime_.path() + QStringLiteral("/weston.ini");
    QFile ini(config);
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write(shell == Kiosk ? "[core]\nidle-time=0\nshell=kiosk-shell.so\n"
                             : "[core]\nidle-time=0\nshell=desktop-shell.so\n[shell]\npanel-position=none\nlocking=false\n");
    ini.close();
    const QString socket = QStringLiteral("marlo-e2e-wayland");
    env_ = x.environment();
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    env_.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process_.setProcessEnvironment(env_);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral("weston"),
                   {QStringLiteral("--config=") + config, QStringLiteral("--backend=x11-backend.so"),
                    QStringLiteral("--use-pixman"), QStringLiteral("--width=%1").arg(width),
                    QStringLiteral("--height=%1").arg(height), QStringLiteral("--socket=") + socket});
    if (!process_.waitForStarted(5000))
        return false;
    env_.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env_.remove(QStringLiteral("DISPLAY"));
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        if (QFile::exists(runtime_.path() + QLatin1Char('/') + socket)
            && run(x, QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")}).contains("\"Weston Compositor"))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void Weston::stop()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

QProcessEnvironment Weston::clientEnvironment() const
{
    QProcessEnvironment env = env_;
    // In a sanitizer build: the Wayland client library and the plugins that Qt unloads at exit
    // keep memory of their own that the leak checker cannot name for a suppression. The
    // station's own code is leak-checked by every other test.
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    return env;
}

bool Weston::available()
{
    if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty())
        return false;
    for (const QString &dir : QCoreApplication::libraryPaths())
        if (!QDir(dir + QStringLiteral("/platforms")).entryList({QStringLiteral("libqwayland-*.so")}).isEmpty())
            return true;
    return false;
}

QRect differingPixels(const QImage &a, const QImage &b, const QRect &ignored)
{
    if (a.size() != b.size())
        return a.rect();
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if (p[col] != q[col] && !ignored.contains(col, row))
                box |= QRect(col, row, 1, 1);
    }
    return box;
}

QString stationBinary()
{
    const QString chosen = qEnvironmentVariable("MARLO_E2E_STATION");
    return chosen.isEmpty() ? QStringLiteral(MARLO_BIN_DIR "/marlo-dv") : chosen;
}

bool underWine()
{
    return stationBinary().endsWith(QStringLiteral(".exe"));
}

int startUpMs()
{
    // Wine takes several seconds to bring up a program (more the first time in its prefix).
    return underWine() ? 90000 : 15000;
}

Station::Station(const XServer &x) : x_(x) {}

Station::~Station()
{
    kill();
}

bool Station::start(const QString &workingDir)
{
    process_.setProcessEnvironment(env_.isEmpty() ? x_.environment() : env_);
    process_.setWorkingDirectory(workingDir);
    wineEnded_ = false;
    QStringList command = prefix_;
    if (underWine())
        command << qEnvironmentVariable("WINE", QStringLiteral("/usr/lib/wine/wine64"));
    command << stationBinary();
    process_.start(command.takeFirst(), command);
    return process_.waitForStarted(5000);
}

bool Station::waitForOpeningPage(int timeoutMs)
{
    // The blue "Who are you?" strip appears when the deferred start-up has shown the page area.
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && running()) {
        const QImage shot = screenshot(x_);
        if (!shot.isNull() && shot.pixelColor(12, 140) == QColor(0, 0, 255))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void Station::kill()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(3000);
    }
    // Wine's session (its server, its desktop process) keeps the screen it first found; the
    // next case's X server may be of another size, so each station gets a session of its own.
    if (underWine() && !wineEnded_) {
        wineEnded_ = true;
        const QString wine = qEnvironmentVariable("WINE", QStringLiteral("/usr/lib/wine/wine64"));
        const QString server = QFileInfo(wine).absolutePath() + QStringLiteral("/wineserver");
        for (const QString &how : {QStringLiteral("-k"), QStringLiteral("-w")}) {
            QProcess p;
            p.start(QFileInfo::exists(server) ? server : QStringLiteral("wineserver"), {how});
            if (!p.waitForFinished(15000))
                p.kill();
            p.waitForFinished(1000);
        }
    }
}

bool Station::signal(int signal)
{
    const qint64 p = pid();
    return p > 0 && ::kill(pid_t(p), signal) == 0;
}

bool Station::windowTitled(const QString &title) const
{
    const QByteArray ids = run(x_, QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
    return !ids.trimmed().isEmpty();
}

bool Station::waitForExit(int timeoutMs)
{
    return process_.waitForFinished(timeoutMs);
}

void Suite::initTestCase()
{
    if (!isolated())
        QSKIP("cannot run in private namespaces here (needs root and unshare)");
    QVERIFY2(QFile::exists(stationBinary()), qPrintable(stationBinary()));
}

void Suite::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

} // namespace e2e
