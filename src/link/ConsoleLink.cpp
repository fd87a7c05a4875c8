#include "link/ConsoleLink.h"

#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "link/LinkMemos.h"
#include "platform/NeighbourTable.h"
#include "platform/Platform.h"
#include "scoring/ScoreConfirmation.h"
#include "station/StationState.h"
#include "widgets/StatusBar.h"

#include <QLabel>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <exception>

ConsoleLink::ConsoleLink(StationState &state, const StationPlatform &platform, LinkHost &host, ScoringPage &scoring,
                         QObject *parent)
    : QObject(parent), state_(state), platform_(platform), host_(host), scoring_(scoring),
      connection_(std::make_unique<ConsoleConnection>(state, *this, this))
{
}

ConsoleLink::~ConsoleLink()
{
    // The connection's readers end before the elements they report to.
    connection_.reset();
}

bool ConsoleLink::Connected() const
{
    return connection_->Connected();
}

QStringList ServerAddressEntries(const QStringList &neighbours, const QString &remembered, const QString &localAddress)
{
    QStringList entries {QStringLiteral("This Computer")};
    entries += neighbours;
    // A remembered server is an IPv4 address in dotted decimal as the neighbours are written:
    // four numbers up to 255 without leading zeros (which a resolver may read as octal).
    const QStringList parts = remembered.split(QLatin1Char('.'));
    bool address = parts.size() == 4;
    for (const QString &p : parts) {
        const bool digits = !p.isEmpty() && p.size() <= 3 && (p.size() == 1 || p.front() != u'0')
                            && std::all_of(p.begin(), p.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        address = address && digits && p.toInt() <= 255;
    }
    if (address && remembered != localAddress && !entries.contains(remembered))
        entries << remembered;
    return entries;
}

void ConsoleLink::FillServerAddressList()
{
    QStringList neighbours;
    if (platform_.neighbours) {
        const NeighbourQuery q = platform_.neighbours->query();
        const std::string local = state_.ClientInfo.LocalAddress.toStdString();
        for (const std::string &entry : NeighbourEntries(q, local))
            neighbours << QString::fromLocal8Bit(entry.data(), qsizetype(entry.size()));
    }
    host_.openingView().setServerAddresses(
        ServerAddressEntries(neighbours, state_.LastServerAddress, state_.ClientInfo.LocalAddress));
}

QString ConsoleLink::ServerAddressOfSelection() const
{
    const QString t = host_.openingView().selectedServer();
    return t.contains(QLatin1String("This Computer")) ? state_.ClientInfo.LocalAddress : t;
}

bool ConsoleLink::OpenLink(QString *error)
{
    leaving_ = true;  // an old link still held is let go on purpose
    const bool opened = connection_->Open(toBytes(ServerAddressOfSelection()), error);
    leaving_ = false;
    return opened;
}

void ConsoleLink::ConnectConsolesClick()
{
    if (connection_->Opening())
        return;
    QString error;
    if (!OpenLink(&error)) {
        // Given up because the station closes meanwhile: nobody is there to be told.
        if (showMessage && !connection_->OpenGivenUp())
            showMessage(BoxKind::Plain, kCouldNotConnectText);
        return;
    }
    state_.LastServerAddress = host_.openingView().selectedServer();
    state_.SavedFunctionIndex = state_.FunctionIndex;
    emit serverChosen();
}

void ConsoleLink::DisconnectAction()
{
    leaving_ = true;
    connection_->Disconnect();
    leaving_ = false;
}

void ConsoleLink::LinkConnected()
{
    host_.openingView().showLinked(true);
    state_.Scoring.linkChanged();
    // Linked again after a loss: what waited for the server is put before the judge again.
    EnterScoringScreen(scoring_, lossPending_, scoreUnsent_);
    lossPending_ = false;
    scoreUnsent_ = false;
    ShowLinkState();
}

void ConsoleLink::LinkDisconnected()
{
    // Nothing sent on the link that closed can be answered on the next one.
    state_.Scoring.linkChanged();
    OperatorView &details = host_.operatorView();
    details.ClearConnectedClients();
    host_.openingView().showLinked(false);
    const QString &name = state_.ClientInfo.LocalComputerName;
    for (int r = 1; r <= kStationIdCount; ++r) {
        if (details.stationCell(r, ConnectionsGrid::NameColumn) != name)
            continue;
        details.setStationCell(r, ConnectionsGrid::AddressColumn, QString());
        details.setStationCell(r, ConnectionsGrid::StatusColumn, QStringLiteral("Off"));
    }
    // A link that closed by itself under the judge is shown and healed as a failed score is.
    if (state_.Scoring.reportsLoss(leaving_, host_.currentPage() == 1))
        ReportLostLink();
    ShowLinkState();
}

void ConsoleLink::ShowLinkState()
{
    QLabel *panel = host_.statusBar().panel(StatusPanel::Link);
    if (!panel)
        return;
    const bool lost = host_.currentPage() == 1 && !Connected();
    if (lost) {  // the panel shows nothing else: red from then on
        QPalette pal = panel->palette();
        pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
        panel->setPalette(pal);
    }
    host_.statusBar().setPanelText(StatusPanel::Link, lost ? kLinkLostText : QString());
}

void ConsoleLink::GoHome(GoHomeSteps steps)
{
    host_.SelectPage(0);
    if (steps.stopReconnect)
        host_.reconnectTimer().stop();
    if (host_.openingView().linkedShown())
        DisconnectAction();
    if (steps.focusConnect)
        host_.openingView().focusConnect();
    ShowLinkState();
}

void ConsoleLink::ReportLostLink()
{
    lossPending_ = true;
    if (host_.reconnectTimer().isActive())
        return;
    host_.ShowLostConnection();
    host_.reconnectTimer().start();
}

void ConsoleLink::ScoreSendFailed()
{
    scoreUnsent_ = true;
    ReportLostLink();
}

void ConsoleLink::AutomaticReconnect()
{
    host_.reconnectTimer().stop();  // one attempt per lost link
    // A connect that waits already is the attempt.
    if (connection_->Opening())
        return;
    state_.RetryCount += 1;
    host_.statusBar().setPanelText(StatusPanel::RetryCount, QStringLiteral("Retry Count: %1  %2")
                                             .arg(state_.RetryCount)
                                             .arg(QTime::currentTime().toString(QStringLiteral("hh:mm.ss"))));
    GoHome();

    // Once open, the connected handling enters the scoring screen and, as after every loss,
    // puts the score that waited up red again.
    QString error;
    if (!OpenLink(&error) && showMessage && !connection_->OpenGivenUp())
        showMessage(BoxKind::Error, error);
}

bool ConsoleLink::SendConsoleMessage(const QByteArray &command, const QByteArray &payload)
{
    const bool reconnecting = host_.reconnectTimer().isActive();
    const bool written = connection_->Send(command, payload);
    // A score that could not be written has reported the lost link (unless reconnecting).
    if (command == "SD" && (written || reconnecting))
        SendBatteryStatus();
    return written;
}

void ConsoleLink::SendBatteryStatus()
{
    SendConsoleMessage("CS", "Active " + toBytes(state_.BatteryText));
}

bool ConsoleLink::SendScore(const QString &score)
{
    return SendConsoleMessage("SD", toBytes(score) + ctl::DC1);
}

void ConsoleLink::TextReceived(const QByteArray &text)
{
    try {
        if (receiveText)
            receiveText(text);
        else if (inbound_)
            ReceiveConsoleText(*inbound_, text);
    } catch (const std::exception &e) {
        // A handler's error stops the handling of that message; the box holds back the next.
        if (showMessage)
            showMessage(BoxKind::Error, QString::fromLatin1(e.what()));
    }
}

void ConsoleLink::TextsBegin()
{
    // The log lines of messages that arrived together are added to the memos together.
    if (togetherDepth_++ == 0)
        together_ = host_.operatorView().deferMemoAppends();
}

void ConsoleLink::TextsEnd()
{
    if (togetherDepth_ > 0 && --togetherDepth_ == 0)
        together_.reset();
}
