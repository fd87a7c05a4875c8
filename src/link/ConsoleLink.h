#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TMainForm;
class TcpLink;
class TClientReader;
class HandoffMailbox;
struct HandoffItem;
class QSocketNotifier;
class QTimer;

// Shown when the connect action cannot open the link (carriage returns as line breaks).
inline const QString kCouldNotConnectText =
    QStringLiteral("Could not connect\rMake sure you have the correct ip address for Quorra\rand Quorra is running");

// The console link to the event server: the connection and its reader, the lifecycle
// (connect, disconnect, lost link, automatic reconnect, go home), and sending. Everything
// here runs on the main thread; only the reader of the open connection runs on its own.
class ConsoleLink : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kServerPort = 8963;
    // How long the main thread goes on handling received messages before it lets its other
    // events through.
    static constexpr int kDrainBudgetMs = 20;
    // How long the disconnect action lets the outgoing buffer drain before it closes.
    static constexpr int kCloseDrainMs = 500;

    explicit ConsoleLink(TMainForm &form);
    ~ConsoleLink() override;

    // Whether the link reports itself connected (the socket's state, not the buttons').
    bool Connected() const;

    // Fills the server address list: "This Computer", then the neighbour addresses.
    void FillServerAddressList();
    // The address the selected entry stands for ("This Computer" is LocalAddress).
    QString ServerAddressOfSelection() const;

    void ConnectConsolesClick();
    void DisconnectAction();
    void GoHome();
    void GoHomeStopTimer();
    void StatusBarDblClick();
    void ReportLostLink();
    void ReconnectTimerTimer();

    // The one way to send; never fails to its caller.
    void SendConsoleMessage(const QByteArray &command, const QByteArray &payload);

    // --- Seams (the station leaves them as they are; tests and tools replace them) ---

    enum class BoxKind { Plain, Error };
    // Shows a modal message box titled with the application title; the text is plain text.
    std::function<void(BoxKind kind, const QString &text)> showMessage;
    // Handles one received text (with its EOT); ReceiveConsoleText by default. A
    // std::exception thrown while handling a text ends the handling of that text: its what()
    // is shown in an error box (showMessage), and the next text follows once it is closed.
    std::function<void(const QByteArray &text)> receiveText;
    // Told of every message SendConsoleMessage frames, and whether it was written (into the
    // link's outgoing path).
    std::function<void(const QByteArray &frame, bool written)> sentObserver;
    // Told of every written message that was still wholly or partly in the link's outgoing
    // buffer when the link closed, in order, and, when the link was lost, first of every
    // score the server's system had not acknowledged: none of them reaches the server.
    std::function<void(const QByteArray &frame)> unsentObserver;

    // The server's port (8963); tests point the station at their own server.
    void setPortForTests(quint16 port) { port_ = port; }
    quint16 port() const { return port_; }
    // The reader of the open connection, if any (for tests).
    const TClientReader *currentReader() const { return reader_.get(); }
    // Bytes waiting in the open connection's outgoing buffer (for tests and benchmarks).
    qsizetype UnsentBytes() const;

private:
    // The mailbox's wake-up: queues the draining of the mailbox.
    void WakeUp();
    // Handles what the readers have handed over, in order.
    void DrainMailbox();
    void HandleItem(HandoffItem &item);
    // Opens a new connection to the selected server and runs the connected handling.
    bool OpenLink(QString *error);
    void ConnectedHandling();
    // Closes the connection and runs the disconnected handling.
    void CloseLink();
    // The connection failed, was given up, or was closed by its reader: closed like a link
    // the server dropped, and reset. A score still in its buffer, or not acknowledged by the
    // server's system, counts as failed: the lost link is reported (unless the station is
    // disconnecting on purpose).
    void LinkLost();
    // Hands what never reached the server to unsentObserver (with `unacknowledged`, also
    // the scores the server's system did not acknowledge); true when a score was among it.
    bool DiscardUnsent(bool unacknowledged);
    // Keeps the write notifier and the give-up timer in step with the outgoing buffer.
    void WatchOutgoing();
    void FlushOutgoing();
    // Gives the link up when unsent data has waited too long; true when it did.
    bool GiveUpIfStalled();
    void DisconnectedHandling();
    void LetGoOfLink();
    void ReapReaders();
    void Deliver(const QByteArray &text);

    TMainForm &form_;
    quint16 port_ = kServerPort;
    std::shared_ptr<HandoffMailbox> mailbox_;
    QObject *wake_ = nullptr;  // the mailbox's wake-up notifier
    bool drainQueued_ = false;  // a drain is queued and has not started
    std::shared_ptr<TcpLink> link_;
    QSocketNotifier *writable_ = nullptr;  // the open connection's write readiness
    QTimer *stallTimer_ = nullptr;         // when the oldest unsent data has waited too long
    std::int64_t stallArmedFor_ = -1;      // the oldest unsent message the timer is set for
    bool disconnecting_ = false;
    std::unique_ptr<TClientReader> reader_;
    std::vector<std::unique_ptr<TClientReader>> retired_;
};
