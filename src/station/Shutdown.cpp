#include "station/Shutdown.h"

#include "link/ConsoleLink.h"
#include "screens/Unit_Main.h"
#include "station/StationClose.h"

#include <QApplication>
#include <QEvent>
#include <QSemaphore>
#include <QSocketNotifier>
#include <QThread>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#ifdef _WIN32
#include <QAbstractNativeEventFilter>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
int g_pipe[2] = {-1, -1};
#endif
std::atomic<int> g_signalled {0};  // lock-free: safe in a handler, whichever thread takes it
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<StationShutdown *> g_instance {nullptr};
QtMessageHandler g_previousHandler = nullptr;
std::atomic<bool> g_displayLost {false};

#ifdef _WIN32
// Windows's counterparts of the signals: the console's control events (Ctrl+C, the console
// closed, the user logging off, the system shutting down) arrive on a thread of their own;
// the close is asked of the main thread and waited for, since the process ends when the
// handler returns. A second event while the first is being handled is only answered.
BOOL WINAPI onConsoleControl(DWORD event)
{
    StationShutdown *s = g_instance.load();
    if (!s)
        return FALSE;
    if (g_signalled.exchange(int(event) + 1) != 0)
        return TRUE;
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        s,
        [s, done] {
            s->ShutDownFromOutside();
            done->release();
        },
        Qt::QueuedConnection);
    done->tryAcquire(1, 4000);
    return TRUE;
}

// The end of the Windows session: the toolkit answers WM_QUERYENDSESSION with the session
// manager's request to save; WM_ENDSESSION is the last word before the process is ended, so
// the close runs there, while the message is handled, should it not have run already.
class EndSessionFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override
    {
        if (type != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<MSG *>(message);
        if (msg->message != WM_ENDSESSION || msg->wParam == FALSE)
            return false;
        if (StationShutdown *s = g_instance.load())
            s->ShutDownFromOutside();
        if (result)
            *result = 0;
        return true;
    }
};
EndSessionFilter g_endSession;
#else
extern "C" void onTerminatingSignal(int sig)
{
    if (g_signalled.exchange(sig) != 0)
        _exit(128 + sig);  // asked again while closing: end now
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}
#endif

void onToolkitMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if ((type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        && StationShutdown::IsDisplayLossMessage(message)) {
        if (StationShutdown *s = g_instance.load())
            s->DisplayLost();
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

bool StationShutdown::IsDisplayLossMessage(const QString &message)
{
    return message.startsWith(QLatin1String("The X11 connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

StationShutdown::StationShutdown(TMainForm &form) : QObject(&form), form_(form), fromFile_(form.state.SettingsFile->read())
{
    g_instance.store(this);
#ifdef _WIN32
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    qApp->installNativeEventFilter(&g_endSession);
#else
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    if (g_pipe[0] >= 0) {
        notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { onSignalPipe(); });
        struct sigaction sa {};
        sa.sa_handler = onTerminatingSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &sa, nullptr);
    }
#endif

#if QT_CONFIG(sessionmanager)
    // Direct: the close must be done before the session manager is answered.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { ShutDownFromOutside(); },
            Qt::DirectConnection);
#endif

    g_previousHandler = qInstallMessageHandler(onToolkitMessage);
    // The toolkit may also end the event loop by itself once its display has gone, before it
    // reports the loss: whatever ends the loop, a station not closed yet is closed from the
    // kept values.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &StationShutdown::closeAfterDisplayLoss);

    keep();
    form_.installEventFilter(this);
    connect(form_.HostIP, &QComboBox::currentTextChanged, this, [this] { keep(); });
    connect(form_.ClientChoice, &RadioGroup::changed, this, [this] { keep(); });
}

StationShutdown::~StationShutdown()
{
    qInstallMessageHandler(g_previousHandler);
    g_instance.store(nullptr);
#ifdef _WIN32
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    qApp->removeNativeEventFilter(&g_endSession);
#else
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
#endif
}

void StationShutdown::ShutDownFromOutside()
{
    ShutDownStation(form_);
}

void StationShutdown::keep()
{
    StationSettings now = CurrentSettings(form_);
    if (!settingsRead_) {
        now.LastIP = fromFile_.LastIP;
        now.Who = fromFile_.Who;
    }
    QMutexLocker lock(&mutex_);
    kept_ = now;
}

StationSettings StationShutdown::keptSettings() const
{
    QMutexLocker lock(&mutex_);
    return kept_;
}

bool StationShutdown::eventFilter(QObject *watched, QEvent *event)
{
    // Moved or resized: the geometry. Shown: the settings are read by the window's own show
    // handling, which runs after this filter, so they are taken once it is done.
    const QEvent::Type type = event->type();
    if (watched == &form_ && type == QEvent::Show)
        QMetaObject::invokeMethod(
            this,
            [this] {
                settingsRead_ = true;
                keep();
            },
            Qt::QueuedConnection);
    else if (watched == &form_ && (type == QEvent::Move || type == QEvent::Resize))
        keep();
    return false;
}

void StationShutdown::onSignalPipe()
{
#ifndef _WIN32
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
    }
#endif
    ShutDownStation(form_);
}

void StationShutdown::DisplayLost()
{
    // The toolkit ends the process soon after it reports the loss, from whichever thread
    // noticed it first: the kept settings are written at once, before the close is tried.
    {
        QMutexLocker lock(&closeMutex_);
        if (!closeStarted_.load() && !settingsWritten_.exchange(true))
            form_.state.SettingsFile->write(keptSettings());
    }
    if (QThread::currentThread() == thread()) {
        closeAfterDisplayLoss();
        return;
    }
    // Reported by the toolkit's own event thread: the close (the disconnect) is asked of the
    // main thread and waited for a little while.
    if (g_displayLost.exchange(true))
        return;
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        this,
        [this, done] {
            closeAfterDisplayLoss();
            done->release();
        },
        Qt::QueuedConnection);
    done->tryAcquire(1, 1000);
}

void StationShutdown::closeAfterDisplayLoss()
{
    QMutexLocker lock(&closeMutex_);
    if (closeStarted_.exchange(true))
        return;
    CloseStation(form_, keptSettings());
}
