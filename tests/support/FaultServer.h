#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <vector>

// An event server for fault tests, on 127.0.0.1 only, that can fail the way a real one and
// the network between can: close a connection (FIN), reset it (RST), or stall it (stop
// reading and answering while the connection stays open, so that what the station sends
// waits in the system's buffers), and later resume it.
//
// It runs on the test's own thread through socket notifiers, and tells the test of every
// complete frame a connection delivers, in order, through `onFrame`; frames that arrive while
// a connection is stalled are delivered when it resumes. It only ever sends small amounts:
// the station writes on the same thread, so neither side may wait for the other.
// Connections are numbered in the order they were accepted.
class FaultServer : public QObject
{
    Q_OBJECT
public:
    explicit FaultServer(QObject *parent = nullptr);
    ~FaultServer() override;

    bool listen();
    quint16 port() const { return port_; }

    int connectionCount() const { return int(conns_.size()); }
    int latest() const { return connectionCount() - 1; }
    // Open: neither side has closed it.
    bool isOpen(int c) const;
    bool isStalled(int c) const;
    // Every frame delivered on a connection so far (EOT included).
    QList<QByteArray> frames(int c) const;

    void send(int c, const QByteArray &bytes);
    // Closes the connection: the station reads the end of the stream.
    void drop(int c);
    // Closes the connection with SO_LINGER 0: the system answers with a reset.
    void reset(int c);
    // Stops reading (and the test stops answering); resume() reads again and delivers what
    // came meanwhile.
    void stall(int c);
    void resume(int c);

    std::function<void(int c)> onConnection;
    std::function<void(int c, const QByteArray &frame)> onFrame;

    // A message as the event server frames it.
    static QByteArray frame(const QByteArray &command, const QByteArray &payload,
                            const QByteArray &sender = "VRX ", const QByteArray &tag = "IND ");

private:
    struct Conn {
        int fd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray pending;  // received, not yet delivered as frames
        QList<QByteArray> frames;
        bool open = true;
        bool stalled = false;
    };
    Conn *conn(int c) const;
    void accept();
    void read(int c);
    void deliver(int c);
    void close(Conn *k, bool reset);

    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    quint16 port_ = 0;
    std::vector<std::unique_ptr<Conn>> conns_;
};
