#pragma once

#include "link/InboundDecoders.h"
#include "link/LinkMemos.h"

#include <QByteArray>
#include <QList>

class ConsoleLink;
struct ScoringPage;
struct StationState;

// The header bands as the received messages change them: what is being judged (the main
// window's HeaderBands).
class HeaderView
{
public:
    virtual void setAthlete(const AthleteInfo &athlete) = 0;       // "AI"
    virtual void setDive(const DiveInfo &dive) = 0;                // "DI"
    virtual void setEvent(const QString &name, bool individual) = 0;  // "EI"

protected:
    ~HeaderView() = default;
};

// The scoreboard and the panel-score displays as the received messages change them (the main
// window's ScoringView).
class ScoresView
{
public:
    // "XX": the first `count` displays take the scores, as far as there are displays and scores.
    virtual void showPanelScores(const QStringList &scores, int count) = 0;
    // "PR": the scoreboard shown, with its order and its three lines.
    virtual void showScoreboard(const ScoreboardInfo &board) = 0;

protected:
    ~ScoresView() = default;
};

// What the inbound handlers ask of the window around them: the layout operations.
class InboundHost
{
public:
    virtual void ArrangeScoreDisplays() = 0;
    // The opening page shows the discipline (its change handler follows).
    virtual void ShowDiscipline(int index) = 0;

protected:
    ~InboundHost() = default;
};

// Everything the received messages act on. The main window fills it.
struct InboundScreens {
    StationState *state = nullptr;
    ConsoleLink *link = nullptr;
    InboundHost *host = nullptr;
    ScoringPage *scoring = nullptr;
    HeaderView *bands = nullptr;
    OperatorView *details = nullptr;
    ScoresView *scores = nullptr;
};

// Logs one received message (with its EOT as its last character), takes it apart and
// dispatches it to its handler.
void ReceiveConsoleText(InboundScreens &screens, const QByteArray &text);

// One handler per inbound command, with the message's payload; "IP", "CN" and "CS" also get
// the sender identifier (header characters 7 to 10).
void HandleCC(InboundScreens &screens, const QByteArray &payload);  // a station has connected
void HandleCD(InboundScreens &screens, const QByteArray &payload);  // a station has left
void HandleTP(InboundScreens &screens, const QByteArray &payload);  // test pulse
void HandleCE(InboundScreens &screens, const QByteArray &payload);  // a message for the judge
void HandleCM(InboundScreens &screens, const QByteArray &payload);  // a chat line
void HandleIP(InboundScreens &screens, const QByteArray &payload, const QByteArray &sender);
void HandleCN(InboundScreens &screens, const QByteArray &payload, const QByteArray &sender);
void HandleCS(InboundScreens &screens, const QByteArray &payload, const QByteArray &sender);
void HandleXX(InboundScreens &screens, const QByteArray &payload);  // panel scores
void HandleAI(InboundScreens &screens, const QByteArray &payload);  // athlete
void HandleDI(InboundScreens &screens, const QByteArray &payload);  // dive
void HandlePR(InboundScreens &screens, const QByteArray &payload);  // scoreboard
void HandleFS(InboundScreens &screens, const QByteArray &payload);  // a score set by the server
void HandleEI(InboundScreens &screens, const QByteArray &payload);  // event
void HandleTX(InboundScreens &screens, const QByteArray &payload);  // score received

// The chat send of ButtonSendMessage.
void ButtonSendMessageClick(InboundScreens &screens);
