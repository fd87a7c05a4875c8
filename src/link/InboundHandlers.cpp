#include "link/InboundHandlers.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundFields.h"
#include "scoring/JudgePosition.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoringPage.h"
#include "screens/LayoutGeometry.h"
#include "station/StationState.h"

#include <algorithm>

InboundDispatcher::InboundDispatcher(StationState &state, ConsoleLink &link, InboundHost &host, ScoringPage &scoring,
                                     HeaderView &header, OperatorView &details, ScoresView &scores)
    : state_(state), link_(link), host_(host), scoring_(scoring), header_(header), details_(details), scores_(scores)
{
}

void InboundDispatcher::receive(const QByteArray &text)
{
    details_.AddLogLine(fromBytes(RenderForLog("client:" + text)));
    const ConsoleText m = CutConsoleText(text);
    const TProtocols &protocols = state_.Protocols;
    switch (InboundCommandOf(m.command)) {
    case InboundCommand::CC: HandleCC(link_, state_.ClientInfo, details_, m.payload); break;
    case InboundCommand::CD: HandleCD(link_, state_.ClientInfo.LocalStationId, details_, m.payload); break;
    case InboundCommand::TP: HandleTP(link_); break;
    case InboundCommand::CE: HandleCE(link_, m.payload); break;
    case InboundCommand::CM: HandleCM(details_, m.payload); break;
    case InboundCommand::IP: HandleIP(protocols, details_, m.payload, m.sender); break;
    case InboundCommand::CN: HandleCN(protocols, details_, m.payload, m.sender); break;
    case InboundCommand::CS: HandleCS(protocols, details_, m.payload, m.sender); break;
    case InboundCommand::XX: HandleXX(state_, host_, scores_, m.payload); break;
    case InboundCommand::AI: HandleAI(header_, scoring_, m.payload); break;
    case InboundCommand::DI: HandleDI(header_, m.payload); break;
    case InboundCommand::PR: HandlePR(scores_, m.payload); break;
    case InboundCommand::FS: HandleFS(link_, state_.FunctionIndex + 1, scoring_, m.payload); break;
    case InboundCommand::EI: HandleEI(link_, state_, host_, header_, scoring_, m.payload); break;
    case InboundCommand::TX: HandleTX(state_.ClientInfo.LocalStationId, scoring_, m.payload); break;
    case InboundCommand::None: break;
    }
}

void ReceiveConsoleText(InboundDispatcher &inbound, const QByteArray &text)
{
    inbound.receive(text);
}

namespace {

// The default error box: modal, titled with the application's title, one OK button, plain
// text. The next message is handled once it is closed.
void ShowErrorBox(ConsoleLink &link, const QString &text)
{
    if (link.showMessage)
        link.showMessage(ConsoleLink::BoxKind::Error, text);
}

void fillGridCell(const TProtocols &protocols, OperatorView &details, const QByteArray &sender, int column,
                  const QByteArray &payload)
{
    const QString id = fromBytes(sender);
    for (int r = 1; r <= kStationIdCount; ++r) {
        if (protocols.StationIdTable[r - 1] == id) {
            details.setStationCell(r, column, fromBytes(payload));
        }
    }
}

} // namespace

void HandleCC(ConsoleLink &link, const TClientInfo &self, OperatorView &details, const QByteArray &payload)
{
    details.AddConnectedClient(fromBytes(payload));
    link.SendConsoleMessage("IP", toBytes(self.LocalAddress));
    link.SendConsoleMessage("CN", toBytes(self.LocalComputerName));
    link.SendConsoleMessage("CS", "Active");
}

void HandleCD(ConsoleLink &link, const QString &localStationId, OperatorView &details, const QByteArray &payload)
{
    const QString id = fromBytes(payload);
    if (id == localStationId) {
        link.GoHome();
        return;
    }
    details.RemoveConnectedClient(id);
}

void HandleTP(ConsoleLink &link)
{
    link.SendBatteryStatus();
}

void HandleCE(ConsoleLink &link, const QByteArray &payload)
{
    ShowErrorBox(link, fromBytes(payload));
}

void HandleCM(OperatorView &details, const QByteArray &payload)
{
    details.AddChatLine(fromBytes(payload));
}

void HandleIP(const TProtocols &protocols, OperatorView &details, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(protocols, details, sender, ConnectionsGrid::AddressColumn, payload);
}

void HandleCN(const TProtocols &protocols, OperatorView &details, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(protocols, details, sender, ConnectionsGrid::NameColumn, payload);
}

void HandleCS(const TProtocols &protocols, OperatorView &details, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(protocols, details, sender, ConnectionsGrid::StatusColumn, payload);
}

void HandleXX(StationState &state, InboundHost &host, ScoresView &scores, const QByteArray &payload)
{
    // A judge count outside the eleven displays is bounded as the layout bounds it.
    const int n = layout::shownDisplayCount(state.JudgeCount);
    // The first n displays get their scores now, so the layout shows them.
    state.ScoreDisplaysWritten = std::max(state.ScoreDisplaysWritten, n);
    host.ArrangeScoreDisplays();
    scores.showPanelScores(DecodePanelScores(payload), n);
}

void HandleAI(HeaderView &header, ScoringPage &scoring, const QByteArray &payload)
{
    const AthleteInfo a = DecodeAthlete(payload);
    header.setAthlete(a);
    NewAthlete(scoring);
}

void HandleDI(HeaderView &header, const QByteArray &payload)
{
    header.setDive(DecodeDive(payload));
}

void HandlePR(ScoresView &scores, const QByteArray &payload)
{
    scores.showScoreboard(DecodeScoreboard(payload));
}

void HandleFS(ConsoleLink &link, int judgeNumber, ScoringPage &scoring, const QByteArray &payload)
{
    const FinalScoreInfo f = DecodeFinalScore(payload);
    if (!f.function) {
        ShowErrorBox(link, notAnIntegerMessage(f.functionText));
        return;
    }
    if (*f.function == judgeNumber)
        FinalScore(scoring, f.score);
}

void HandleEI(ConsoleLink &link, StationState &state, InboundHost &host, HeaderView &header, ScoringPage &scoring,
              const QByteArray &payload)
{
    const EventInfo e = DecodeEvent(payload);
    state.DisciplineIndex = e.individual ? 0 : 1;
    host.ShowDiscipline(state.DisciplineIndex);
    EndOfEventState(scoring, e.event);
    header.setEvent(e.event, e.individual);
    // The steps before a judge count that is not a whole number stay in effect.
    if (!e.judgeCount) {
        ShowErrorBox(link, notAnIntegerMessage(e.judgeCountText));
        return;
    }
    state.JudgeCount = *e.judgeCount;
    UpdateJudgePositionLabel(scoring);
}

void HandleTX(const QString &localStationId, ScoringPage &scoring, const QByteArray &payload)
{
    if (DecodeReceivedStation(payload) == localStationId)
        Acknowledge(scoring);
}

void ButtonSendMessageClick(OperatorView &details, ConsoleLink &link)
{
    const QString text = details.chatMessage();
    if (trimControls(text).isEmpty() || !link.Connected())
        return;
    link.SendConsoleMessage("CM", toBytes(text));
}
