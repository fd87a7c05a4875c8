#include "station/Shutdown.h"

#include "link/ConsoleLink.h"
#include "platform/TerminationSignals.h"
#include "platform/WindowSystem.h"
#include "screens/OpeningPage.h"
#include "screens/Unit_Main.h"
#include "station/StationClose.h"

#include <QApplication>
#include <QEvent>
#include <QSemaphore>
#include <QThread>

#include <atomic>

namespace {

// A message handler of the toolkit is a plain function: it finds the shutdown through these.
std::atomic<StationShutdown *> g_instance {nullptr};
QtMessageHandler g_previousHandler = nullptr;

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
    // A second signal while the first is being handled ends the process at once; on Windows
    // the console control event waits for the close, since the process ends when it returns.
    TerminationSignals::Options options;
    options.hangUp = true;
    options.firstOnly = true;
    options.handledWaitMs = 4000;
    auto *requests = new TerminationSignals(options, this);
    connect(requests, &TerminationSignals::requested, this, [this] { ShutDownFromOutside(); });
    WindowSystem::onSessionEnd(this, [this] { ShutDownFromOutside(); });

    g_previousHandler = qInstallMessageHandler(onToolkitMessage);
    // The toolkit may also end the event loop by itself once its display has gone, before it
    // reports the loss: whatever ends the loop, a station not closed yet is closed from the
    // kept values.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &StationShutdown::closeAfterDisplayLoss);

    keep();
    form_.installEventFilter(this);
    connect(&form_.opening(), &OpeningPage::serverChanged, this, [this] { keep(); });
    connect(&form_.opening(), &OpeningPage::functionChosen, this, [this] { keep(); });
}

StationShutdown::~StationShutdown()
{
    qInstallMessageHandler(g_previousHandler);
    g_instance.store(nullptr);
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
    if (displayLostAsked_.exchange(true))
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
