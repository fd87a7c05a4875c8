#include "link/ConsoleConnection.h"

#include "link/ClientReader.h"
#include "link/ConsoleMessage.h"
#include "link/TcpLink.h"
#include "platform/Socket.h"
#include "station/StationState.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// Input from the user: keys, the pointer's presses and wheel, touch and pen. Moves and hovers
// only change what is shown and are let through.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::Gesture:
    case QEvent::NativeGesture:
        return true;
    default:
        return false;
    }
}

} // namespace

// An open's wait for its connect: an event loop of its own, which ends when the connect has
// its outcome, when its time is up, or when the open is given up (the station closes). The
// station's close, its signals and the end of the session are handled meanwhile; the user's
// input is dropped.
class ConsoleConnection::ConnectWaitLoop : public QObject
{
public:
    TcpLink::ConnectWait wait(qintptr fd, std::int64_t deadline)
    {
        if (TcpLink::connectSettled(fd))
            return TcpLink::ConnectWait::Settled;
        // Whatever else ends the loop (the application told to end) gives the open up.
        result_ = TcpLink::ConnectWait::GivenUp;
        auto settle = [this, fd] {
            if (TcpLink::connectSettled(fd))
                end(TcpLink::ConnectWait::Settled);
        };
        QSocketNotifier writable(fd, QSocketNotifier::Write);
        connect(&writable, &QSocketNotifier::activated, this, settle);
        // Where the system tells of a failed connect among the exceptions (Winsock).
        std::unique_ptr<QSocketNotifier> failed;
        if (sock::connectFailsAsException()) {
            failed = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Exception);
            connect(failed.get(), &QSocketNotifier::activated, this, settle);
        }
        // Looked at every 50 ms as well, should the system's notification not come.
        QTimer slice;
        connect(&slice, &QTimer::timeout, this, settle);
        slice.start(50);
        QTimer limit;
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        connect(&limit, &QTimer::timeout, this, [this] { end(TcpLink::ConnectWait::TimedOut); });
        limit.start(int(std::max<std::int64_t>(0, deadline - TcpLink::nowMs())));
        QCoreApplication *app = QCoreApplication::instance();
        if (app)
            app->installEventFilter(this);
        loop_.exec();
        if (app)
            app->removeEventFilter(this);
        return result_;
    }
    void giveUp() { end(TcpLink::ConnectWait::GivenUp); }
    bool givenUp() const { return result_ == TcpLink::ConnectWait::GivenUp; }

protected:
    bool eventFilter(QObject *, QEvent *event) override { return isUserInput(event->type()); }

private:
    void end(TcpLink::ConnectWait result)
    {
        result_ = result;
        loop_.exit();
    }

    QEventLoop loop_;
    TcpLink::ConnectWait result_ = TcpLink::ConnectWait::TimedOut;
};

ConsoleConnection::ConsoleConnection(const StationState &state, ConnectionEvents &events, QObject *parent)
    : QObject(parent), state_(state), events_(events), mailbox_(std::make_shared<HandoffMailbox>())
{
    wake_ = wake::watch(mailbox_->wakeDescriptor(), this, [this] { WakeUp(); });
    stallTimer_ = new QTimer(this);
    stallTimer_->setSingleShot(true);
    stallTimer_->setTimerType(Qt::PreciseTimer);
    connect(stallTimer_, &QTimer::timeout, this, [this] {
        if (!GiveUpIfStalled())
            WatchOutgoing();
    });
}

ConsoleConnection::~ConsoleConnection()
{
    delete wake_;
    wake_ = nullptr;
    delete writable_;
    writable_ = nullptr;
    // Nothing more is handed over; what is waiting is discarded (its readers stop waiting).
    mailbox_->close();
    // Wake every reader: shut its connection down and stop any wait for the main thread;
    // then they end at once and are joined.
    if (link_)
        link_->close();
    if (reader_)
        reader_->stop();
    reader_.reset();
    retired_.clear();
}

bool ConsoleConnection::Connected() const
{
    return link_ && link_->connected();
}

qsizetype ConsoleConnection::UnsentBytes() const
{
    return link_ ? link_->unsentBytes() : 0;
}

bool ConsoleConnection::Open(const QByteArray &host, QString *error)
{
    if (waitingOpen_) {
        if (error)
            *error = QStringLiteral("A connect is already under way.");
        return false;
    }
    openGivenUp_ = false;
    // A connection still held is closed first; a reader never outlives its connection.
    if (Connected())
        Disconnect();
    if (link_)
        CloseLink();
    ReapReaders();

    auto link = std::make_shared<TcpLink>();
    ConnectWaitLoop wait;
    waitingOpen_ = &wait;
    const bool opened = link->open(host, options_, error,
                                   [&wait](qintptr fd, std::int64_t deadline) { return wait.wait(fd, deadline); });
    waitingOpen_ = nullptr;
    if (!opened) {
        openGivenUp_ = wait.givenUp();
        return false;
    }
    link_ = std::move(link);
    writable_ = new QSocketNotifier(link_->descriptor(), QSocketNotifier::Write, this);
    writable_->setEnabled(false);
    connect(writable_, &QSocketNotifier::activated, this, [this] { FlushOutgoing(); });
    Send("CC", toBytes(state_.ClientInfo.FunctionCaption));
    if (!link_) {
        // Lost at once, before anything was read.
        if (error)
            *error = QStringLiteral("The connection was lost as it opened");
        return false;
    }
    reader_ = std::make_unique<TClientReader>(link_, mailbox_);
    reader_->start();
    events_.LinkConnected();
    return true;
}

void ConsoleConnection::Disconnect()
{
    if (waitingOpen_)
        waitingOpen_->giveUp();
    if (!Connected())
        return;
    // On purpose: a link lost on the way is not reported, and a server that takes nothing
    // holds the close for kCloseDrainMs at most.
    disconnecting_ = true;
    Send("CS", "Off");
    Send("IP", QByteArray());
    if (link_)
        link_->drain(kCloseDrainMs);
    CloseLink();
    disconnecting_ = false;
}

void ConsoleConnection::LetGoOfLink()
{
    if (writable_) {
        // Possibly from its own activation: disabled now, deleted once back in the loop.
        writable_->setEnabled(false);
        writable_->deleteLater();
        writable_ = nullptr;
    }
    stallTimer_->stop();
    link_.reset();
    if (reader_) {
        reader_->stop();
        retired_.push_back(std::move(reader_));
    }
}

void ConsoleConnection::CloseLink()
{
    if (!link_)
        return;
    // On purpose and gracefully: what the system took still goes out; the buffer does not.
    link_->close();
    DiscardUnsent(false);
    LetGoOfLink();
    events_.LinkDisconnected();
}

bool ConsoleConnection::DiscardUnsent(bool unacknowledged)
{
    bool score = false;
    for (const TcpLink::Unsent &u : link_->takeUnsent(unacknowledged)) {
        score = score || u.score;
        if (unsentObserver)
            unsentObserver(u.message);
    }
    return score;
}

void ConsoleConnection::LinkLost()
{
    if (!link_)
        return;
    link_->close();
    // A score the server's system never acknowledged is lost as well; the reset makes sure
    // it does not arrive after all, behind the judge's back.
    const bool scoreLost = DiscardUnsent(true);
    link_->abort();
    LetGoOfLink();
    events_.LinkDisconnected();
    if (scoreLost && !disconnecting_)
        events_.ScoreSendFailed();
}

void ConsoleConnection::WatchOutgoing()
{
    if (!link_ || !writable_)
        return;
    const std::int64_t at = link_->oldestUnsentAtMs();
    writable_->setEnabled(at >= 0);
    if (at < 0) {
        stallTimer_->stop();
        return;
    }
    if (stallTimer_->isActive() && at == stallArmedFor_)
        return;  // already set for the same oldest message
    stallArmedFor_ = at;
    const std::int64_t left = at + link_->giveUpMs() - TcpLink::nowMs();
    stallTimer_->start(int(std::max<std::int64_t>(0, left)));
}

void ConsoleConnection::FlushOutgoing()
{
    if (!link_)
        return;
    if (!link_->flush()) {
        LinkLost();
        return;
    }
    if (!GiveUpIfStalled())
        WatchOutgoing();
}

bool ConsoleConnection::GiveUpIfStalled()
{
    if (!link_ || !link_->unsentExpired(TcpLink::nowMs()))
        return false;
    LinkLost();
    return true;
}

void ConsoleConnection::ReapReaders()
{
    std::erase_if(retired_, [](const std::unique_ptr<TClientReader> &r) { return r->finished(); });
}

bool ConsoleConnection::Send(const QByteArray &command, const QByteArray &payload)
{
    const QByteArray frame = FrameConsoleMessage(command, toBytes(state_.ClientInfo.DisciplineTag),
                                                 toBytes(state_.ClientInfo.LocalStationId), payload);
    const bool score = command == "SD";
    // Unsent data that has waited too long gives the link up even when the timer that
    // watches it has not come round yet.
    GiveUpIfStalled();
    const bool written = link_ && link_->write(frame, score);
    if (link_) {
        if (written)
            WatchOutgoing();
        else
            LinkLost();  // closed: failed, overflowing, or already closed by its reader
    }
    if (sentObserver)
        sentObserver(frame, written);
    if (!written && score)
        events_.ScoreSendFailed();
    return written;
}

void ConsoleConnection::WakeUp()
{
    // The handling runs from the event queue, not inside the notifier's own handler: a
    // handler may open a modal box, and Windows's event notifier is armed again only once its
    // handler has returned, so a later connection's messages would wait for the box to close.
    mailbox_->clearWake();
    if (drainQueued_)
        return;
    drainQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            drainQueued_ = false;
            DrainMailbox();
        },
        Qt::QueuedConnection);
}

void ConsoleConnection::DrainMailbox()
{
    // For a bounded time: while the server keeps sending, the reader hands the next messages
    // over as soon as the last ones are handled, and taking them all in one go would keep the
    // main thread from everything else (keys, painting, timers) for as long as the flow
    // lasts. What is left is taken up once the event loop has gone round.
    const QDeadlineTimer budget(kDrainBudgetMs);
    HandoffItem item;
    // One item at a time: a handler may open a modal box, whose event loop drains the
    // mailbox further (items of a later connection); those are taken out before they run.
    while (mailbox_->take(item)) {
        HandleItem(item);
        item = HandoffItem();
        if (budget.hasExpired()) {
            mailbox_->wakeIfWaiting();
            return;
        }
    }
}

void ConsoleConnection::HandleItem(HandoffItem &item)
{
    // The hand-off completes however the handling ends.
    struct Complete {
        HandoffSignal *signal;
        ~Complete()
        {
            if (signal)
                signal->complete();
        }
    } complete {item.signal.get()};

    if (item.linkClosed) {
        // The reader closed its connection; only the current one concerns the screens.
        if (link_ && item.link == link_)
            LinkLost();
        return;
    }
    // The texts that arrived together are handed over together.
    struct Together {
        ConnectionEvents &events;
        explicit Together(ConnectionEvents &e) : events(e) { events.TextsBegin(); }
        ~Together() { events.TextsEnd(); }
    } together {events_};
    for (const QByteArray &text : item.texts) {
        // Texts of a connection the station has let go of (closed, or replaced by a
        // reconnect, possibly while an earlier text was being handled) are dropped.
        if (!link_ || item.link != link_)
            break;
        events_.TextReceived(text);
    }
}
