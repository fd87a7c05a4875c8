#include "link/InboundHandlers.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundFields.h"
#include "scoring/JudgePosition.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/Layout.h"
#include "screens/LayoutGeometry.h"
#include "screens/Unit_Main.h"

namespace {

constexpr char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

constexpr int code2(char a, char b)
{
    return (int(static_cast<unsigned char>(a)) << 8) | int(static_cast<unsigned char>(b));
}

} // namespace

InboundCommand InboundCommandOf(const QByteArray &code)
{
    if (code.size() != 2)
        return InboundCommand::None;
    switch (code2(upperAscii(code[0]), upperAscii(code[1]))) {
    case code2('C', 'C'): return InboundCommand::CC;
    case code2('C', 'D'): return InboundCommand::CD;
    case code2('T', 'P'): return InboundCommand::TP;
    case code2('C', 'E'): return InboundCommand::CE;
    case code2('C', 'M'): return InboundCommand::CM;
    case code2('I', 'P'): return InboundCommand::IP;
    case code2('C', 'N'): return InboundCommand::CN;
    case code2('C', 'S'): return InboundCommand::CS;
    case code2('X', 'X'): return InboundCommand::XX;
    case code2('A', 'I'): return InboundCommand::AI;
    case code2('D', 'I'): return InboundCommand::DI;
    case code2('P', 'R'): return InboundCommand::PR;
    case code2('F', 'S'): return InboundCommand::FS;
    case code2('E', 'I'): return InboundCommand::EI;
    case code2('T', 'X'): return InboundCommand::TX;
    default: return InboundCommand::None;
    }
}

void ReceiveConsoleText(TMainForm &form, const QByteArray &text)
{
    AddLogLine(form, RenderForLog("client:" + text));
    const ConsoleText m = CutConsoleText(text);
    switch (InboundCommandOf(m.command)) {
    case InboundCommand::CC: HandleCC(form, m.payload); break;
    case InboundCommand::CD: HandleCD(form, m.payload); break;
    case InboundCommand::TP: HandleTP(form, m.payload); break;
    case InboundCommand::CE: HandleCE(form, m.payload); break;
    case InboundCommand::CM: HandleCM(form, m.payload); break;
    case InboundCommand::IP: HandleIP(form, m.payload, m.sender); break;
    case InboundCommand::CN: HandleCN(form, m.payload, m.sender); break;
    case InboundCommand::CS: HandleCS(form, m.payload, m.sender); break;
    case InboundCommand::XX: HandleXX(form, m.payload); break;
    case InboundCommand::AI: HandleAI(form, m.payload); break;
    case InboundCommand::DI: HandleDI(form, m.payload); break;
    case InboundCommand::PR: HandlePR(form, m.payload); break;
    case InboundCommand::FS: HandleFS(form, m.payload); break;
    case InboundCommand::EI: HandleEI(form, m.payload); break;
    case InboundCommand::TX: HandleTX(form, m.payload); break;
    case InboundCommand::None: break;
    }
}

// The handlers are filled in by the inbound message handling.
namespace {

QChar dc(char c)
{
    return QChar::fromLatin1(c);
}

// The LED labels draw each byte by their own mask table: they are given one character per
// byte, not the code page's letters.
QString ledBytes(const QByteArray &b)
{
    return QString::fromLatin1(b);
}

// The default error box: modal, titled with the application's title, one OK button, plain
// text. The next message is handled once it is closed.
void ShowErrorBox(TMainForm &form, const QString &text)
{
    if (form.link->showMessage)
        form.link->showMessage(ConsoleLink::BoxKind::Error, text);
}

void fillGridCell(TMainForm &form, const QByteArray &sender, int column, const QByteArray &payload)
{
    const QString id = fromBytes(sender);
    for (int r = 1; r <= kStationIdCount; ++r) {
        if (form.state.Protocols.StationIdTable[r - 1] == id) {
            if (QTableWidgetItem *cell = form.GridConnections->item(r, column))
                cell->setText(fromBytes(payload));
        }
    }
}

} // namespace

void HandleCC(TMainForm &form, const QByteArray &payload)
{
    AddConnectedClient(form, payload);
    form.link->SendConsoleMessage("IP", toBytes(form.state.ClientInfo.LocalAddress));
    form.link->SendConsoleMessage("CN", toBytes(form.state.ClientInfo.LocalComputerName));
    form.link->SendConsoleMessage("CS", "Active");
}

void HandleCD(TMainForm &form, const QByteArray &payload)
{
    const QString id = fromBytes(payload);
    if (id == form.state.ClientInfo.LocalStationId) {
        form.link->GoHome();
        return;
    }
    for (int i = 0; i < form.ConnectedClients->count(); ++i) {
        if (form.ConnectedClients->item(i)->text().compare(id, Qt::CaseInsensitive) == 0) {
            delete form.ConnectedClients->takeItem(i);
            return;
        }
    }
}

void HandleTP(TMainForm &form, const QByteArray &)
{
    form.link->SendConsoleMessage("CS", "Active " + toBytes(form.LabelPower->text()));
}

void HandleCE(TMainForm &form, const QByteArray &payload)
{
    ShowErrorBox(form, fromBytes(payload));
}

void HandleCM(TMainForm &form, const QByteArray &payload)
{
    AddChatLine(form, payload);
}

void HandleIP(TMainForm &form, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(form, sender, 2, payload);
}

void HandleCN(TMainForm &form, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(form, sender, 1, payload);
}

void HandleCS(TMainForm &form, const QByteArray &payload, const QByteArray &sender)
{
    fillGridCell(form, sender, 3, payload);
}

void HandleXX(TMainForm &form, const QByteArray &payload)
{
    ArrangeScoreDisplays(form);
    const QString p = ledBytes(payload);
    const qsizetype stx = p.indexOf(dc(ctl::STX));
    QString rest = stx < 0 ? p.mid(1) : p.mid(stx + 2);
    // A judge count outside the eleven displays is bounded as the layout bounds it.
    const int n = layout::shownDisplayCount(form.state.JudgeCount);
    for (int i = 0; i < n && i < form.ScoreDisplays.size(); ++i) {
        form.ScoreDisplays[i]->setCaption(fieldBefore(rest, QLatin1Char('^')));
        rest = restAfter(rest, QLatin1Char('^'));
    }
}

void HandleAI(TMainForm &form, const QByteArray &payload)
{
    const QString p = fromBytes(payload);
    form.ScoreConfirmTitle->setText(QStringLiteral("Score Confirmation"));
    const RoundAndStart first = splitRoundAndStart(fieldBefore(p, dc(ctl::DC1)));
    form.LabelRound->setText(QStringLiteral("Round ") + first.round);
    form.LabelStart->setText(first.start);
    QString rest = restAfter(p, dc(ctl::DC1));
    SetFittedText(form.LabelAthlete, QStringLiteral(" ") + fieldBefore(rest, dc(ctl::DC2)));
    rest = restAfter(rest, dc(ctl::DC2));
    SetFittedText(form.LabelClub, QStringLiteral(" ") + fieldBefore(rest, dc(ctl::DC3)));
    NewAthlete(form);
}

void HandleDI(TMainForm &form, const QByteArray &payload)
{
    const QString p = fromBytes(payload);
    form.LabelDive->setText(fieldBefore(p, dc(ctl::DC1)));
    QString rest = restAfter(p, dc(ctl::DC1));
    form.LabelDD->setText(QStringLiteral("DD: ") + fieldBefore(rest, dc(ctl::DC2)));
    rest = restAfter(rest, dc(ctl::DC2));
    form.LabelHeight->setText(fieldBefore(rest, dc(ctl::DC3)));
    rest = restAfter(rest, dc(ctl::DC3));
    SetFittedText(form.LabelDiveDescription, QStringLiteral(" ") + fieldBefore(rest, dc(ctl::DC4)));
}

void HandlePR(TMainForm &form, const QByteArray &payload)
{
    const QString p = ledBytes(payload);
    form.PanelScoreboard->show();
    form.ScoreboardOrder->setCaption(QStringLiteral("ORDER ") + PadToWidth(fieldBefore(p, dc(ctl::DC1)), 3));
    QString lines = fieldBefore(restAfter(p, dc(ctl::DC1)), dc(ctl::DC2));
    form.Scoreboard1->setCaption(PadToWidth(fieldBefore(lines, QLatin1Char('^')), 9));
    lines = restAfter(lines, QLatin1Char('^'));
    form.Scoreboard2->setCaption(PadToWidth(fieldBefore(lines, QLatin1Char('^')), 9));
    lines = restAfter(lines, QLatin1Char('^'));
    form.Scoreboard3->setCaption(PadToWidth(lines, 9));
}

void HandleFS(TMainForm &form, const QByteArray &payload)
{
    const QString p = fromBytes(payload);
    const QString numberText = fieldBefore(p, dc(ctl::DC1));
    const std::optional<qint32> number = parseWholeNumber(numberText);
    if (!number) {
        ShowErrorBox(form, notAnIntegerMessage(numberText));
        return;
    }
    const QString score = trimControls(fieldBefore(restAfter(p, dc(ctl::DC1)), dc(ctl::DC2)));
    if (*number == form.ClientChoice->itemIndex() + 1)
        form.ScoreEdit->setText(score);
}

void HandleEI(TMainForm &form, const QByteArray &payload)
{
    const QString p = fromBytes(payload);
    if (fieldBefore(p, dc(ctl::DC1)) == QLatin1String("IND")) {
        form.DisciplineSelection->setItemIndex(0);
        form.LabelDisc->setText(QStringLiteral("IND"));
    } else {
        form.DisciplineSelection->setItemIndex(1);
        form.LabelDisc->setText(QStringLiteral("SYNCHRO"));
    }
    QString rest = restAfter(p, dc(ctl::DC1));
    const QString event = fieldBefore(rest, dc(ctl::DC2));
    EndOfEventState(form, event);
    SetFittedText(form.LabelEvent, event);
    rest = restAfter(rest, dc(ctl::DC2));
    const QString countText = trimControls(fieldBefore(rest, dc(ctl::DC3)));
    const std::optional<qint32> count = parseWholeNumber(countText);
    if (!count) {
        ShowErrorBox(form, notAnIntegerMessage(countText));
        return;
    }
    form.state.JudgeCount = *count;
    UpdateJudgePositionLabel(form);
}

void HandleTX(TMainForm &form, const QByteArray &payload)
{
    if (fromBytes(FieldBefore(payload, ctl::DC1)) == form.state.ClientInfo.LocalStationId)
        Acknowledge(form);
}

void ButtonSendMessageClick(TMainForm &form)
{
    const QString text = form.EditMessage->text();
    if (trimControls(text).isEmpty() || !form.link->Connected())
        return;
    form.link->SendConsoleMessage("CM", toBytes(text));
}
