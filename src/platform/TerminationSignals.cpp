#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#ifdef _WIN32
#include <QSemaphore>
#include <memory>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

// A signal handler sees no object: what it needs is the process's, set by the bridge.
namespace {

std::atomic<int> g_signalled {0};  // lock-free: safe in a handler, whichever thread takes it
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<bool> g_firstOnly {false};

#ifdef _WIN32
std::atomic<TerminationSignals *> g_bridge {nullptr};
std::atomic<int> g_handledWaitMs {0};
std::atomic<int> g_closeGraceMs {0};

BOOL WINAPI onConsoleControl(DWORD event)
{
    TerminationSignals *bridge = g_bridge.load();
    if (!bridge)
        return FALSE;
    const int sig = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    if (g_signalled.exchange(sig) != 0 && g_firstOnly.load())
        return TRUE;
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        bridge,
        [bridge, sig, done] {
            emit bridge->requested(sig);
            done->release();
        },
        Qt::QueuedConnection);
    if (const int ms = g_handledWaitMs.load(); ms > 0)
        done->tryAcquire(1, ms);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        if (const int ms = g_closeGraceMs.load(); ms > 0)
            ::Sleep(DWORD(ms));
    return TRUE;
}
#else
// Made once and kept open for the life of the process: a handler may run at any moment.
int g_pipe[2] = {-1, -1};

extern "C" void onTerminatingSignal(int sig)
{
    if (g_signalled.exchange(sig) != 0 && g_firstOnly.load())
        _exit(128 + sig);  // asked again while ending: end now
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void setHandler(bool hangUp, void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    if (hangUp)
        sigaction(SIGHUP, &sa, nullptr);
}
#endif

} // namespace

TerminationSignals::TerminationSignals(const Options &options, QObject *parent) : QObject(parent)
{
    g_firstOnly.store(options.firstOnly);
#ifdef _WIN32
    g_handledWaitMs.store(options.handledWaitMs);
    g_closeGraceMs.store(options.closeGraceMs);
    g_bridge.store(this);
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    ok_ = true;
#else
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    if (g_pipe[0] < 0)
        return;
    ok_ = true;
    hangUp_ = options.hangUp;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    setHandler(hangUp_, onTerminatingSignal);
    if (options.ignoreBrokenPipeAndBackgroundRead) {
        std::signal(SIGPIPE, SIG_IGN);
        std::signal(SIGTTIN, SIG_IGN);
    }
#endif
}

TerminationSignals::~TerminationSignals()
{
#ifdef _WIN32
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    g_bridge.store(nullptr);
#else
    if (ok_)
        setHandler(hangUp_, SIG_DFL);
#endif
}

void TerminationSignals::readPipe()
{
#ifndef _WIN32
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit requested(int(byte));
#endif
}
