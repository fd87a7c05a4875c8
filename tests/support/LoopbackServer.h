#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <vector>

// A small event server for tests, on 127.0.0.1 only: it accepts stations, keeps what each
// connection sent, sends bytes, and drops connections. Plain sockets watched by socket
// notifiers on the test's own thread, so it keeps accepting and reading whenever the event
// loop runs (a modal box's included); the wait functions run the event loop until their
// condition holds or the time-out ends.
// Connections are numbered in the order they were accepted; -1 means the latest one.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackServer(QObject *parent = nullptr);
    ~LoopbackServer() override;

    // Listens on 127.0.0.1 (port 0: any free port).
    bool listen(quint16 port = 0);
    quint16 port() const { return port_; }
    // New connections are refused from now on; open ones stay.
    void stopListening();
    // A loopback port on which nothing listens (for connect failures).
    static quint16 unusedPort();

    int connectionCount() const { return int(conns_.size()); }
    bool waitForConnections(int count, int timeoutMs = 5000);

    // All bytes received on a connection, and the same cut after each EOT (EOT included).
    QByteArray received(int c = -1) const;
    QList<QByteArray> frames(int c = -1) const;
    bool waitForFrames(int count, int c = -1, int timeoutMs = 5000);
    bool waitForBytes(qsizetype count, int c = -1, int timeoutMs = 5000);
    void clearReceived(int c = -1);

    // Whether the station closed the connection (or the server dropped it).
    bool isClosed(int c = -1) const;
    bool waitForClosed(int c = -1, int timeoutMs = 5000);

    // Sends bytes and waits until the system has taken them.
    void send(const QByteArray &bytes, int c = -1);
    // Sends one byte at a time, each in its own segment.
    void sendBytewise(const QByteArray &bytes, int c = -1);
    // Closes a connection from the server's side.
    void drop(int c = -1);
    // Stops reading a connection (what the station sends waits in the system's buffers), or
    // reads it again.
    void setStalled(bool stalled, int c = -1);
    // Reads up to `max` bytes of a (stalled) connection now, without waiting.
    void readNow(qsizetype max, int c = -1);
    // The server's socket of a connection (-1 when closed), for a look at its state.
    qintptr descriptor(int c = -1) const;

    // A message as the event server frames it: SOH, command, tag, sender, STX, payload, EOT.
    static QByteArray frame(const QByteArray &command, const QByteArray &payload,
                            const QByteArray &sender = "VRX ", const QByteArray &tag = "IND ");

private:
    struct Conn {
        qintptr fd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray data;
        bool closed = false;
    };
    Conn *conn(int c) const;
    void accept();
    void read(Conn *k);
    void close(Conn *k);

    qintptr listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    quint16 port_ = 0;
    std::vector<std::unique_ptr<Conn>> conns_;
};
