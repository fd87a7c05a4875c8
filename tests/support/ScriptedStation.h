#pragma once

#include "server/EventServer.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QVector>

#include <functional>

// A judge's station reduced to a script, for talking to the event server over loopback:
// it frames what it is told to send and collects what it receives, cut at each EOT.
class ScriptedStation
{
public:
    struct Message {
        QByteArray command;  // upper case
        QByteArray sender;
        QByteArray payload;
        QByteArray text;     // the whole message with its EOT
    };

    explicit ScriptedStation(QByteArray id);

    // Connects to 127.0.0.1:port; false after `timeoutMs`.
    bool connectTo(quint16 port, int timeoutMs = 5000);
    // Connects and sends "CC" with the caption ("Judge 3" for "J3  ").
    bool join(quint16 port);
    void send(const QByteArray &command, const QByteArray &payload);
    void sendRaw(const QByteArray &bytes);
    void close();  // orderly close
    void abort();  // vanish at once

    // Like a real station: answer "CC" with "IP", "CN", "CS" "Active", and "TP" with "CS".
    bool answerLikeAStation = false;

    QVector<Message> received() const;
    QVector<Message> received(const QByteArray &command) const;
    int count(const QByteArray &command) const { return int(received(command).size()); }
    void clear() { messages_.clear(); }
    bool isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

    // Waits (running the event loop) until `condition` holds; false after `timeoutMs`.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);
    // Waits until at least `n` messages with `command` have arrived.
    bool waitForCount(const QByteArray &command, int n, int timeoutMs = 5000);

    const QByteArray id;
    QTcpSocket &socket() { return socket_; }

private:
    void onReadyRead();

    QTcpSocket socket_;
    QByteArray buffer_;
    QVector<Message> messages_;
};

// The event server on 127.0.0.1, on any free port, with no test pulses and a correction pause
// of a minute (tests move on themselves).
ServerOptions LoopbackServerOptions();
// Everything the server sent the station before this returns has arrived: the station's own
// "IP" comes back to it relayed after all of it.
bool SyncStation(ScriptedStation &station);
