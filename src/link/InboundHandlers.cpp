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

void ReceiveConsoleText(InboundScreens &s, const QByteArray &text)
{
    s.details->AddLogLine(fromBytes(RenderForLog("client:" + text)));
    const ConsoleText m = CutConsoleText(text);
    switch (InboundCommandOf(m.command)) {
    case InboundCommand::CC: HandleCC(s, m.payload); break;
    case InboundCommand::CD: HandleCD(s, m.payload); break;
    case InboundCommand::TP: HandleTP(s, m.payload); break;
    case InboundCommand::CE: HandleCE(s, m.payload); break;
    case InboundCommand::CM: HandleCM(s, m.payload); break;
    case InboundCommand::IP: HandleIP(s, m.payload, m.sender); break;
    case InboundCommand::CN: HandleCN(s, m.payload, m.sender); break;
    case InboundCommand::CS: HandleCS(s, m.payload, m.sender); break;
    case InboundCommand::XX: HandleXX(s, m.payload); break;
    case InboundCommand::AI: HandleAI(s, m.payload); break;
    case InboundCommand::DI: HandleDI(s, m.payload); break;
    case InboundCommand::PR: HandlePR(s, m.payload); break;
    case InboundCommand::FS: HandleFS(s, m.payload); break;
    case InboundCommand::EI: HandleEI(s, m.payload); break;
    case InboundCommand::TX: HandleTX(s, m.payload); break;
    case InboundCommand::None: break;
    }
}

namespace {

// The default error box: modal, titled with the application's title, one OK button, plain
// text. The next message is handled once it is closed.
void ShowErrorBox(InboundScreens &s, const QString &text)
{
    if (s.link->showMessage)
        s.link->showMessage(ConsoleLink::BoxKind::Error, text);
}

void fillGridCell(InboundScreens &s, const QByteArray &sender, int column, const QByteArray &payload)
{
    const QString id = fromBytes(sender);
    for (int r = 1; r <= kStationIdCount; ++r) {
        if (s.state->Protocols.StationIdTable[r - 1] == id) {
            s.details->setStationCell(r, column, fromBytes(payload));
        }
    }
}

} // namespace

void HandleCC(InboundScreens &s, const QByteArray &payload)
{
    s.details->AddConnectedClient(fromBytes(payload));
    s.link->SendConsoleMessage("IP", toBytes(s.state->ClientInfo.LocalAddress));
    s.link->SendConsoleMessage("CN", toBytes(s.state->ClientInfo.LocalComputerName));
    s.link->SendConsoleMessage("CS", "Active");
}

void HandleCD(InboundScreens &s, const QByteArray &payload)
{
    const QString id = fromBytes(payload);
    if (id == s.state->ClientInfo.LocalStationId) {
        s.link->GoHome();
        return;
    }
    s.details->RemoveConnectedClient(id);
}

void HandleTP(InboundScreens &s, const QByteArray &)
{
    s.link->SendBatteryStatus();
}

void HandleCE(InboundScreens &s, const QByteArray &payload)
{
    ShowErrorBox(s, fromBytes(payload));
}

void HandleCM(InboundScreens &s, const QByteArray &payload)
{
    s.details->AddChatLine(fromBytes(payload));
}

void HandleIP(InboundScreens &s, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(s, sender, ConnectionsGrid::AddressColumn, payload);
}

void HandleCN(InboundScreens &s, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(s, sender, ConnectionsGrid::NameColumn, payload);
}

void HandleCS(InboundScreens &s, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(s, sender, ConnectionsGrid::StatusColumn, payload);
}

void HandleXX(InboundScreens &s, const QByteArray &payload)
{
    // A judge count outside the eleven displays is bounded as the layout bounds it.
    const int n = layout::shownDisplayCount(s.state->JudgeCount);
    // The first n displays get their scores now, so the layout shows them.
    s.state->ScoreDisplaysWritten = std::max(s.state->ScoreDisplaysWritten, n);
    s.host->ArrangeScoreDisplays();
    s.scores->showPanelScores(DecodePanelScores(payload), n);
}

void HandleAI(InboundScreens &s, const QByteArray &payload)
{
    const AthleteInfo a = DecodeAthlete(payload);
    s.bands->setAthlete(a);
    NewAthlete(*s.scoring);
}

void HandleDI(InboundScreens &s, const QByteArray &payload)
{
    s.bands->setDive(DecodeDive(payload));
}

void HandlePR(InboundScreens &s, const QByteArray &payload)
{
    s.scores->showScoreboard(DecodeScoreboard(payload));
}

void HandleFS(InboundScreens &s, const QByteArray &payload)
{
    const FinalScoreInfo f = DecodeFinalScore(payload);
    if (!f.function) {
        ShowErrorBox(s, notAnIntegerMessage(f.functionText));
        return;
    }
    if (*f.function == s.state->FunctionIndex + 1)
        FinalScore(*s.scoring, f.score);
}

void HandleEI(InboundScreens &s, const QByteArray &payload)
{
    const EventInfo e = DecodeEvent(payload);
    s.state->DisciplineIndex = e.individual ? 0 : 1;
    s.host->ShowDiscipline(s.state->DisciplineIndex);
    EndOfEventState(*s.scoring, e.event);
    s.bands->setEvent(e.event, e.individual);
    // The steps before a judge count that is not a whole number stay in effect.
    if (!e.judgeCount) {
        ShowErrorBox(s, notAnIntegerMessage(e.judgeCountText));
        return;
    }
    s.state->JudgeCount = *e.judgeCount;
    UpdateJudgePositionLabel(*s.scoring);
}

void HandleTX(InboundScreens &s, const QByteArray &payload)
{
    if (DecodeReceivedStation(payload) == s.state->ClientInfo.LocalStationId)
        Acknowledge(*s.scoring);
}

void ButtonSendMessageClick(InboundScreens &s)
{
    const QString text = s.details->chatMessage();
    if (trimControls(text).isEmpty() || !s.link->Connected())
        return;
    s.link->SendConsoleMessage("CM", toBytes(text));
}
