#pragma once

#include "server/EventServer.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

class CompetitionFlow;
class PeerConnections;
class StationRegistry;

// The operator's commands to the running server and the reports the operator reads: what
// EventServer's operator functions do.
class OperatorCommands
{
public:
    using Note = std::function<void(const QString &)>;

    OperatorCommands(CompetitionFlow &flow, StationRegistry &registry, PeerConnections &connections, Note note);

    bool recordScore(int judgeNumber, const QByteArray &scoreText, QString *error);
    bool sendForcedScore(int judgeNumber, const QByteArray &scoreText, QString *error);
    int messageJudge(int judgeNumber, const QByteArray &text);
    void chat(const QByteArray &text);
    void disconnectJudge(int judgeNumber);

    QVector<EventServer::StationInfo> stations() const;
    QVector<EventServer::JudgeLink> judgeLinks() const;
    QString statusText() const;

private:
    CompetitionFlow &flow_;
    StationRegistry &registry_;
    PeerConnections &connections_;
    Note note_;
};

// The operator's command lines for the event server ("next", "fs 3 7.5", "list"...).
class OperatorConsole
{
public:
    explicit OperatorConsole(EventServer &server);

    // Runs one command line; returns what to show the operator (may be empty).
    QString execute(const QString &line);
    bool quitRequested() const { return quit_; }

    static QString helpText();

private:
    EventServer &server_;
    bool quit_ = false;
};
