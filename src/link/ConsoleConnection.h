#pragma once

#include "link/LinkOptions.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TcpLink;
class TClientReader;
class HandoffMailbox;
struct HandoffItem;
struct StationState;
class QSocketNotifier;
class QTimer;

// What the connection tells its owner. Called on the main thread, from the connection's own
// calls or from the event loop.
class ConnectionEvents
{
public:
    // A new connection is open and "CC" has gone out on it.
    virtual void LinkConnected() = 0;
    // The connection has closed: on purpose, lost, given up, or closed by its reader.
    virtual void LinkDisconnected() = 0;
    // One received text, with its EOT. A direct call: the reader waits until it returns, so
    // that a modal box opened while handling it holds back the next text.
    virtual void TextReceived(const QByteArray &text) = 0;
    // A score did not reach the server: it could not be written, or the link was lost while
    // the score was still unsent or not acknowledged by the server's system (never while
    // disconnecting on purpose).
    virtual void ScoreSendFailed() = 0;
    // The texts that arrived together are handed over between these two.
    virtual void TextsBegin() {}
    virtual void TextsEnd() {}

protected:
    ~ConnectionEvents() = default;
};

// The console link's connection to the event server: the socket with its outgoing buffer and
// the rules of its loss, the reader thread, and the hand-off of what it reads. Everything here
// runs on the main thread; only the reader of the open connection runs on its own.
class ConsoleConnection : public QObject
{
    Q_OBJECT
public:
    // How long the main thread goes on handling received messages before it lets its other
    // events through.
    static constexpr int kDrainBudgetMs = 20;
    // How long the disconnect lets the outgoing buffer drain before it closes.
    static constexpr int kCloseDrainMs = 500;

    // `state` gives the header of every message sent (discipline tag, station identifier)
    // and the caption "CC" introduces the station with.
    ConsoleConnection(const StationState &state, ConnectionEvents &events, QObject *parent = nullptr);
    ~ConsoleConnection() override;

    // Whether the link reports itself connected (the socket's state).
    bool Connected() const;
    // Opens a new connection to `host` (a connection still held is let go first): "CC" goes
    // out, the reader starts and LinkConnected follows. False, with the reason, when the
    // connect fails or is given up.
    // While the connect waits for the server, the event loop goes on for the station's close,
    // the signals and the end of the session only: the user's input (keys, pointer, touch)
    // is dropped, as it would be were the connect to block. A second open meanwhile is
    // refused.
    bool Open(const QByteArray &host, QString *error);
    // Whether an open waits for its connect.
    bool Opening() const { return waitingOpen_ != nullptr; }
    // Whether the last open ended because Disconnect gave it up (no failure to report).
    bool OpenGivenUp() const { return openGivenUp_; }
    // On purpose, when connected: "CS" "Off" and the empty "IP", what is buffered drains for
    // kCloseDrainMs at most, the connection closes. A link lost on the way is not reported.
    // An open that waits for its connect is given up.
    void Disconnect();
    // Frames and writes one message; true when it is in the link's outgoing path (the
    // system's send buffer or the link's own). Never waits for the socket. A failed write
    // loses the link; a failed score is reported.
    bool Send(const QByteArray &command, const QByteArray &payload);

    // Told of every message Send frames, and whether it was written.
    std::function<void(const QByteArray &frame, bool written)> sentObserver;
    // Told of every written message that was still wholly or partly in the link's outgoing
    // buffer when the link closed, in order, and, when the link was lost, first of every
    // score the server's system had not acknowledged: none of them reaches the server.
    std::function<void(const QByteArray &frame)> unsentObserver;

    // What connections are opened with from now on: the server's port (8963) and the
    // time-outs.
    void setOptions(const LinkOptions &options) { options_ = options; }
    const LinkOptions &options() const { return options_; }
    // Bytes waiting in the open connection's outgoing buffer (for tests and benchmarks).
    qsizetype UnsentBytes() const;

private:
    // Looks at the reader of the open connection (tests/support/ConnectionProbe.h).
    friend struct ConnectionProbe;
    class ConnectWaitLoop;
    // The mailbox's wake-up: queues the draining of the mailbox.
    void WakeUp();
    // Handles what the readers have handed over, in order.
    void DrainMailbox();
    void HandleItem(HandoffItem &item);
    // Closes the connection gracefully and reports it.
    void CloseLink();
    // The connection failed, was given up, or was closed by its reader: closed like a link
    // the server dropped, and reset. A score still in its buffer, or not acknowledged by the
    // server's system, counts as failed (unless disconnecting on purpose).
    void LinkLost();
    // Hands what never reached the server to unsentObserver (with `unacknowledged`, also
    // the scores the server's system did not acknowledge); true when a score was among it.
    bool DiscardUnsent(bool unacknowledged);
    // Keeps the write notifier and the give-up timer in step with the outgoing buffer.
    void WatchOutgoing();
    void FlushOutgoing();
    // Gives the link up when unsent data has waited too long; true when it did.
    bool GiveUpIfStalled();
    void LetGoOfLink();
    void ReapReaders();

    const StationState &state_;
    ConnectionEvents &events_;
    LinkOptions options_;
    std::shared_ptr<HandoffMailbox> mailbox_;
    QObject *wake_ = nullptr;  // the mailbox's wake-up notifier
    bool drainQueued_ = false;  // a drain is queued and has not started
    std::shared_ptr<TcpLink> link_;
    QSocketNotifier *writable_ = nullptr;  // the open connection's write readiness
    QTimer *stallTimer_ = nullptr;         // when the oldest unsent data has waited too long
    std::int64_t stallArmedFor_ = -1;      // the oldest unsent message the timer is set for
    bool disconnecting_ = false;
    ConnectWaitLoop *waitingOpen_ = nullptr;  // the wait of an open under way
    bool openGivenUp_ = false;
    std::unique_ptr<TClientReader> reader_;
    std::vector<std::unique_ptr<TClientReader>> retired_;
};
