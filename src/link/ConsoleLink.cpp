#include "link/ConsoleLink.h"

#include "link/ClientReader.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "link/LinkMemos.h"
#include "link/TcpLink.h"
#include "platform/NeighbourTable.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/StationBox.h"
#include "screens/Unit_Invalid.h"
#include "screens/Unit_Main.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#endif
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <exception>

ConsoleLink::ConsoleLink(TMainForm &form)
    : QObject(&form), form_(form), mailbox_(std::make_shared<HandoffMailbox>())
{
#ifdef Q_OS_WIN
    // Windows: the mailbox's event object (QSocketNotifier watches sockets only there).
    auto *wake = new QWinEventNotifier(reinterpret_cast<Qt::HANDLE>(mailbox_->wakeDescriptor()), this);
    connect(wake, &QWinEventNotifier::activated, this, [this] { WakeUp(); });
#else
    auto *wake = new QSocketNotifier(mailbox_->wakeDescriptor(), QSocketNotifier::Read, this);
    connect(wake, &QSocketNotifier::activated, this, [this] { WakeUp(); });
#endif
    wake_ = wake;
    stallTimer_ = new QTimer(this);
    stallTimer_->setSingleShot(true);
    stallTimer_->setTimerType(Qt::PreciseTimer);
    connect(stallTimer_, &QTimer::timeout, this, [this] {
        if (!GiveUpIfStalled())
            WatchOutgoing();
    });
    showMessage = [this](BoxKind kind, const QString &text) {
        TStationBox::ask(kind == BoxKind::Error ? TStationBox::Error : TStationBox::Plain, text, &form_);
    };
}

ConsoleLink::~ConsoleLink()
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

bool ConsoleLink::Connected() const
{
    return link_ && link_->connected();
}

qsizetype ConsoleLink::UnsentBytes() const
{
    return link_ ? link_->unsentBytes() : 0;
}

void ConsoleLink::FillServerAddressList()
{
    form_.HostIP->clear();
    form_.HostIP->addItem(QStringLiteral("This Computer"));
    if (form_.platform.neighbours) {
        const NeighbourQuery q = form_.platform.neighbours->query();
        const std::string local = form_.state.ClientInfo.LocalAddress.toStdString();
        for (const std::string &entry : NeighbourEntries(q, local))
            form_.HostIP->addItem(QString::fromLocal8Bit(entry.data(), qsizetype(entry.size())));
    }
    form_.HostIP->setCurrentIndex(0);
}

QString ConsoleLink::ServerAddressOfSelection() const
{
    const QString t = form_.HostIP->currentText();
    return t.contains(QLatin1String("This Computer")) ? form_.state.ClientInfo.LocalAddress : t;
}

bool ConsoleLink::OpenLink(QString *error)
{
    // A connection still held is closed first; a reader never outlives its connection.
    if (Connected())
        DisconnectAction();
    if (link_)
        CloseLink();
    ReapReaders();

    auto link = std::make_shared<TcpLink>();
    if (!link->open(toBytes(ServerAddressOfSelection()), port_, error))
        return false;
    link_ = std::move(link);
    writable_ = new QSocketNotifier(link_->descriptor(), QSocketNotifier::Write, this);
    writable_->setEnabled(false);
    connect(writable_, &QSocketNotifier::activated, this, [this] { FlushOutgoing(); });
    ConnectedHandling();
    return true;
}

void ConsoleLink::ConnectedHandling()
{
    SendConsoleMessage("CC", toBytes(form_.state.ClientInfo.FunctionCaption));
    reader_ = std::make_unique<TClientReader>(link_, mailbox_);
    reader_->start();
}

void ConsoleLink::ConnectConsolesClick()
{
    QString error;
    if (!OpenLink(&error)) {
        if (showMessage)
            showMessage(BoxKind::Plain, kCouldNotConnectText);
        return;
    }
    form_.state.LastServerAddress = form_.HostIP->currentText();
    form_.state.SavedFunctionIndex = form_.ClientChoice->itemIndex();
    form_.ConnectConsoles->setEnabled(false);
    form_.DisconnectConsoles->setEnabled(true);
    EnterScoringScreen(form_);
}

void ConsoleLink::DisconnectAction()
{
    if (!Connected())
        return;
    // On purpose: a link lost on the way is not reported, and a server that takes nothing
    // holds the close for kCloseDrainMs at most.
    disconnecting_ = true;
    SendConsoleMessage("CS", "Off");
    SendConsoleMessage("IP", QByteArray());
    if (link_)
        link_->drain(kCloseDrainMs);
    CloseLink();
    disconnecting_ = false;
}

void ConsoleLink::LetGoOfLink()
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

void ConsoleLink::CloseLink()
{
    if (!link_)
        return;
    // On purpose and gracefully: what the system took still goes out; the buffer does not.
    link_->close();
    DiscardUnsent(false);
    LetGoOfLink();
    DisconnectedHandling();
}

bool ConsoleLink::DiscardUnsent(bool unacknowledged)
{
    bool score = false;
    for (const TcpLink::Unsent &u : link_->takeUnsent(unacknowledged)) {
        score = score || u.score;
        if (unsentObserver)
            unsentObserver(u.message);
    }
    return score;
}

void ConsoleLink::LinkLost()
{
    if (!link_)
        return;
    link_->close();
    // A score the server's system never acknowledged is lost as well; the reset makes sure
    // it does not arrive after all, behind the judge's back.
    const bool scoreLost = DiscardUnsent(true);
    link_->abort();
    LetGoOfLink();
    DisconnectedHandling();
    if (scoreLost && !disconnecting_)
        ReportLostLink();
}

void ConsoleLink::WatchOutgoing()
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

void ConsoleLink::FlushOutgoing()
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

bool ConsoleLink::GiveUpIfStalled()
{
    if (!link_ || !link_->unsentExpired(TcpLink::nowMs()))
        return false;
    LinkLost();
    return true;
}

void ConsoleLink::ReapReaders()
{
    std::erase_if(retired_, [](const std::unique_ptr<TClientReader> &r) { return r->finished(); });
}

void ConsoleLink::DisconnectedHandling()
{
    form_.ConnectedClients->clear();
    form_.ConnectConsoles->setEnabled(true);
    form_.DisconnectConsoles->setEnabled(false);
    const QString &name = form_.state.ClientInfo.LocalComputerName;
    for (int r = 1; r <= kStationIdCount; ++r) {
        QTableWidgetItem *nameCell = form_.GridConnections->item(r, 1);
        if (!nameCell || nameCell->text() != name)
            continue;
        if (QTableWidgetItem *ip = form_.GridConnections->item(r, 2))
            ip->setText(QString());
        if (QTableWidgetItem *status = form_.GridConnections->item(r, 3))
            status->setText(QStringLiteral("Off"));
    }
}

void ConsoleLink::GoHome()
{
    form_.SelectPage(0);
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
    if (form_.ConnectConsoles->isEnabled())
        form_.ConnectConsoles->setFocus();
}

void ConsoleLink::GoHomeStopTimer()
{
    form_.SelectPage(0);
    form_.ReconnectTimer->stop();
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
    if (form_.ConnectConsoles->isEnabled())
        form_.ConnectConsoles->setFocus();
}

void ConsoleLink::StatusBarDblClick()
{
    form_.SelectPage(0);
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
}

void ConsoleLink::ReportLostLink()
{
    if (form_.ReconnectTimer->isActive())
        return;
    if (form_.InvalidElements)
        form_.InvalidElements->showOver(&form_);
    form_.ReconnectTimer->start();
}

void ConsoleLink::ReconnectTimerTimer()
{
    form_.ReconnectTimer->stop();  // one attempt per lost link
    form_.state.RetryCount += 1;
    form_.StatusBar1->setPanelText(5, QStringLiteral("Retry Count: %1  %2")
                                          .arg(form_.state.RetryCount)
                                          .arg(QTime::currentTime().toString(QStringLiteral("hh:mm.ss"))));
    form_.SelectPage(0);
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
    if (form_.ConnectConsoles->isEnabled())
        form_.ConnectConsoles->setFocus();

    QString error;
    if (!OpenLink(&error)) {
        if (showMessage)
            showMessage(BoxKind::Error, error);
        return;
    }
    form_.ConnectConsoles->setEnabled(false);
    form_.DisconnectConsoles->setEnabled(true);
    EnterScoringScreen(form_);
    ButtonSendScoreClick(form_);
}

void ConsoleLink::SendConsoleMessage(const QByteArray &command, const QByteArray &payload)
{
    const QByteArray frame = FrameConsoleMessage(command, toBytes(form_.state.ClientInfo.DisciplineTag),
                                                 toBytes(form_.state.ClientInfo.LocalStationId), payload);
    const bool score = command == "SD";
    const bool reconnecting = form_.ReconnectTimer->isActive();
    // Unsent data that has waited too long gives the link up even when the timer that
    // watches it has not come round yet.
    GiveUpIfStalled();
    // Written: in the link's outgoing path, the system's send buffer or the link's own. The
    // main thread never waits for the socket here.
    const bool written = link_ && link_->write(frame, score);
    if (link_) {
        if (written)
            WatchOutgoing();
        else
            LinkLost();  // closed: failed, overflowing, or already closed by its reader
    }
    if (sentObserver)
        sentObserver(frame, written);
    if (!written && score && !reconnecting) {
        ReportLostLink();
        return;
    }
    if (score)
        SendConsoleMessage("CS", "Active " + toBytes(form_.LabelPower->text()));
}

void ConsoleLink::Deliver(const QByteArray &text)
{
    try {
        if (receiveText)
            receiveText(text);
        else
            ReceiveConsoleText(form_, text);
    } catch (const std::exception &e) {
        // A handler's error stops the handling of that message; the box holds back the next.
        if (showMessage)
            showMessage(BoxKind::Error, QString::fromLatin1(e.what()));
    }
}

void ConsoleLink::WakeUp()
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

void ConsoleLink::DrainMailbox()
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

void ConsoleLink::HandleItem(HandoffItem &item)
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
    // The log lines of messages that arrived together are added to the memos together.
    DeferMemoAppends together {form_.LogFile, form_.ChatFile};
    for (const QByteArray &text : item.texts) {
        // Texts of a connection the station has let go of (closed, or replaced by a
        // reconnect, possibly while an earlier text was being handled) are dropped.
        if (!link_ || item.link != link_)
            break;
        Deliver(text);
    }
}
