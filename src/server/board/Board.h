#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class EventServer;
class QHttpServer;
class QWebSocket;

// What the board shows, as JSON: the event, the dive under way, each judge's link, score and
// battery, the last result and the standings.
QJsonObject BoardState(const EventServer &server, const QDateTime &now);
// Whether a log line is one the operator should see on the board: warnings, a station refused,
// cut off or taken over, a judge changing a score.
bool IsBoardNotice(const QString &logLine);

// The live board: a page served over HTTP that shows BoardState and follows it without
// reloading, over a WebSocket on the same port. It lives on the event server's thread.
class Board : public QObject
{
    Q_OBJECT
public:
    explicit Board(EventServer &server, QObject *parent = nullptr);
    ~Board() override;

    // Listens on `address` and `port` (0: any free port). False with `error` set on failure.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return port_; }
    int viewers() const { return int(viewers_.size()); }

private:
    void onViewer();
    void push();
    QJsonObject state() const;

    EventServer &server_;
    std::unique_ptr<QHttpServer> http_;
    std::vector<std::unique_ptr<QWebSocket>> viewers_;
    QTimer coalesce_;  // one update for a flurry of changes
    QTimer tick_;      // "last heard" ages move on by themselves
    QStringList notices_;  // the latest notices, newest first
    quint16 port_ = 0;
};
