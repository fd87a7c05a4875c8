#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <vector>

// The event server of the tests, on 127.0.0.1 only: it accepts stations, keeps what each
// connection sent, sends bytes, and fails the way a real server and the network between can:
// it closes a connection (FIN), resets it (RST), or stalls it (stops reading while the
// connection stays open, so that what the station sends waits in the system's buffers) and
// later reads again. Plain sockets watched by socket notifiers on the test's own thread, so
// it keeps accepting and reading whenever the event loop runs (a modal box's included); the
// wait functions run the event loop until their condition holds or the time-out ends.
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
    // A listening socket on 127.0.0.1 (port 0: any free port) for a server of a test's own
    // (one on a thread of its own, one that never accepts): the descriptor, or -1.
    static qintptr listenSocket(int backlog, quint16 *port, quint16 wanted = 0);

    int connectionCount() const { return int(conns_.size()); }
    int latest() const { return connectionCount() - 1; }
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
    // Closes a connection from the server's side: the station reads the end of the stream.
    void drop(int c = -1);
    // Closes a connection with SO_LINGER 0: the system answers with a reset.
    void reset(int c = -1);
    // Stops reading a connection (what the station sends waits in the system's buffers), or
    // reads it again; frames read but not yet handed to onFrame are handed on then.
    void setStalled(bool stalled, int c = -1);
    bool isStalled(int c = -1) const;
    // Reads up to `max` bytes of a (stalled) connection now, without waiting.
    void readNow(qsizetype max, int c = -1);
    // The server's socket of a connection (-1 when closed), for a look at its state.
    qintptr descriptor(int c = -1) const;

    // Told of every complete frame a connection delivers, in order, as it is read (not while
    // the connection is stalled). It may send, stall, drop or reset.
    std::function<void(int c, const QByteArray &frame)> onFrame;

    // A message framed as on the link: SOH, command, tag, sender, STX, payload, EOT. The
    // tests' one way to write a frame, the server's ("VRX ") or a station's.
    static QByteArray frame(const QByteArray &command, const QByteArray &payload,
                            const QByteArray &sender = "VRX ", const QByteArray &tag = "IND ");

private:
    struct Conn {
        qintptr fd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray data;
        qsizetype delivered = 0;  // bytes of `data` handed to onFrame as frames
        bool closed = false;
        bool stalled = false;
    };
    Conn *conn(int c) const;
    int indexOf(const Conn *k) const;
    void accept();
    void read(Conn *k);
    void deliver(Conn *k);
    void close(Conn *k, bool reset = false);

    qintptr listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    quint16 port_ = 0;
    std::vector<std::unique_ptr<Conn>> conns_;
};
