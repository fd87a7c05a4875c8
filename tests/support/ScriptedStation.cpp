#include "ScriptedStation.h"

#include "link/ConsoleMessage.h"

#include <QHostAddress>
#include <QTest>

ScriptedStation::ScriptedStation(QByteArray stationId)
    : id(std::move(stationId))
{
    QObject::connect(&socket_, &QTcpSocket::readyRead, &socket_, [this] { onReadyRead(); });
}

bool ScriptedStation::connectTo(quint16 port, int timeoutMs)
{
    socket_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    return waitFor([this] { return socket_.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

bool ScriptedStation::join(quint16 port)
{
    if (!connectTo(port))
        return false;
    send("CC", "Judge " + id.mid(1).trimmed());
    return true;
}

void ScriptedStation::send(const QByteArray &command, const QByteArray &payload)
{
    sendRaw(FrameConsoleMessage(command, "IND ", id, payload));
}

void ScriptedStation::sendRaw(const QByteArray &bytes)
{
    socket_.write(bytes);
    socket_.flush();
}

void ScriptedStation::close()
{
    socket_.disconnectFromHost();
}

void ScriptedStation::abort()
{
    socket_.abort();
}

QVector<ScriptedStation::Message> ScriptedStation::received() const
{
    return messages_;
}

QVector<ScriptedStation::Message> ScriptedStation::received(const QByteArray &command) const
{
    QVector<Message> out;
    for (const Message &m : messages_)
        if (m.command == command)
            out.append(m);
    return out;
}

bool ScriptedStation::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool ScriptedStation::waitForCount(const QByteArray &command, int n, int timeoutMs)
{
    return waitFor([&] { return count(command) >= n; }, timeoutMs);
}

void ScriptedStation::onReadyRead()
{
    buffer_ += socket_.readAll();
    qsizetype eot;
    while ((eot = buffer_.indexOf(ctl::EOT)) >= 0) {
        const QByteArray text = buffer_.left(eot + 1);
        buffer_.remove(0, eot + 1);
        const ConsoleText cut = CutConsoleText(text);
        const Message m{cut.command.toUpper(), cut.sender, cut.payload, text};
        messages_.append(m);
        if (!answerLikeAStation)
            continue;
        if (m.command == "CC") {
            send("IP", "127.0.0." + id.mid(1).trimmed());
            send("CN", "host-" + id.trimmed().toLower());
            send("CS", "Active");
        } else if (m.command == "TP") {
            send("CS", "Active 80 %");
        }
    }
}

ServerOptions LoopbackServerOptions()
{
    ServerOptions o;
    o.bindAddress = QHostAddress(QHostAddress::LocalHost);
    o.port = 0;
    o.pulseIntervalMs = 0;
    o.correctionPauseMs = 60000;
    return o;
}

bool SyncStation(ScriptedStation &station)
{
    static int serial = 0;
    const QByteArray mark = "sync-" + QByteArray::number(++serial);
    station.send("IP", mark);
    return station.waitFor([&] {
        for (const auto &m : station.received("IP"))
            if (m.payload == mark)
                return true;
        return false;
    });
}
