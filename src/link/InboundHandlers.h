#pragma once

#include "link/InboundDecoders.h"
#include "link/LinkMemos.h"

#include <QByteArray>
#include <QList>

class ConsoleLink;
struct ScoringPage;
struct StationState;
struct TClientInfo;
struct TProtocols;

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

// Takes each received message apart and hands it to its handler, with what that handler works
// on: the state, the link, the window's layout operations, the scoring page, the header bands,
// the operator's details and the scores. The main window holds it.
class InboundDispatcher
{
public:
    InboundDispatcher(StationState &state, ConsoleLink &link, InboundHost &host, ScoringPage &scoring,
                      HeaderView &header, OperatorView &details, ScoresView &scores);

    // Logs one received message (with its EOT as its last character), takes it apart and
    // dispatches it to its handler.
    void receive(const QByteArray &text);

private:
    StationState &state_;
    ConsoleLink &link_;
    InboundHost &host_;
    ScoringPage &scoring_;
    HeaderView &header_;
    OperatorView &details_;
    ScoresView &scores_;
};

// InboundDispatcher::receive.
void ReceiveConsoleText(InboundDispatcher &inbound, const QByteArray &text);

// One handler per inbound command, with what it works on and the message's payload; "IP", "CN"
// and "CS" also get the sender identifier (header characters 7 to 10). A handler that reports
// an error shows it in the link's error box (ConsoleLink::showMessage).
// A station has connected: it is listed, and this station announces itself.
void HandleCC(ConsoleLink &link, const TClientInfo &self, OperatorView &details, const QByteArray &payload);
// A station has left: this one goes home, another is taken off the list.
void HandleCD(ConsoleLink &link, const QString &localStationId, OperatorView &details, const QByteArray &payload);
void HandleTP(ConsoleLink &link);                             // test pulse: the battery status
void HandleCE(ConsoleLink &link, const QByteArray &payload);  // a message for the judge
void HandleCM(OperatorView &details, const QByteArray &payload);  // a chat line
// The sender's address, name and status in the stations' table.
void HandleIP(const TProtocols &protocols, OperatorView &details, const QByteArray &payload, const QByteArray &sender);
void HandleCN(const TProtocols &protocols, OperatorView &details, const QByteArray &payload, const QByteArray &sender);
void HandleCS(const TProtocols &protocols, OperatorView &details, const QByteArray &payload, const QByteArray &sender);
void HandleXX(StationState &state, InboundHost &host, ScoresView &scores, const QByteArray &payload);  // panel scores
void HandleAI(HeaderView &header, ScoringPage &scoring, const QByteArray &payload);  // athlete
void HandleDI(HeaderView &header, const QByteArray &payload);                         // dive
void HandlePR(ScoresView &scores, const QByteArray &payload);                        // scoreboard
// A score set by the server, for the judge `judgeNumber` (1 to 11) is this station's.
void HandleFS(ConsoleLink &link, int judgeNumber, ScoringPage &scoring, const QByteArray &payload);
void HandleEI(ConsoleLink &link, StationState &state, InboundHost &host, HeaderView &header, ScoringPage &scoring,
              const QByteArray &payload);  // event
// Score received, by the station `localStationId` names.
void HandleTX(const QString &localStationId, ScoringPage &scoring, const QByteArray &payload);

// The chat send of ButtonSendMessage.
void ButtonSendMessageClick(OperatorView &details, ConsoleLink &link);
