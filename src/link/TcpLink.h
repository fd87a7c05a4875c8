#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

// One TCP connection to the event server on a plain OS socket. The main thread connects,
// writes and closes; the connection's reader thread reads. Reading on one thread while
// another writes is safe on an OS socket.
//
// Closing shuts the connection down (which wakes a blocked read) and marks it closed; the
// descriptor itself is released only when the object is destroyed, that is when its last
// shared owner lets go. So a reader still holding an old connection can never read from or
// shut down a descriptor that the system has since given to a newer connection.
class TcpLink
{
public:
    TcpLink() = default;
    ~TcpLink();
    TcpLink(const TcpLink &) = delete;
    TcpLink &operator=(const TcpLink &) = delete;

    // Opens the connection (blocking; the system's connect time-out applies). `host` is an
    // IPv4 address in dotted decimal or a host name. On failure `error` gets the socket
    // layer's text. Only once per object.
    bool open(const QByteArray &host, quint16 port, QString *error = nullptr);

    // Writes the whole buffer; false when not connected or the write fails. Never raises a
    // signal for a connection the peer has closed. A peer that takes nothing for
    // sendTimeoutMs() would otherwise hold the station's main thread for good: the write
    // then fails and the connection is closed, as if the peer had dropped it.
    bool writeAll(const QByteArray &data);

    static int sendTimeoutMs() { return sendTimeoutMs_.load(std::memory_order_relaxed); }
    // For connections opened from now on (tests shorten it).
    static void setSendTimeoutMs(int ms) { sendTimeoutMs_.store(ms, std::memory_order_relaxed); }

    enum class ReadResult {
        Message,  // `text` holds the bytes before the next EOT (the EOT is consumed)
        Closed,   // the peer closed the connection, or the station shut it down
        TooLong,  // more than kMaxMessageBytes before an EOT
        Failed,   // a read error
        NeedMore, // takeBufferedMessage only: no complete message has been received yet
    };
    // Reader thread only. Reads up to the next EOT, as long as it takes; bytes already
    // received are used first.
    ReadResult readMessage(QByteArray &text);
    // Reader thread only. Takes the next complete message out of what has already been
    // received, without reading: Message, NeedMore, or TooLong when the buffered bytes
    // already break the limit.
    ReadResult takeBufferedMessage(QByteArray &text);

    bool connected() const { return connected_.load(std::memory_order_acquire); }

    // Shuts the connection down and marks it closed. True when this call closed it, false
    // when it was not connected. Safe from any thread, any number of times.
    bool close();

private:
    static inline std::atomic<int> sendTimeoutMs_ {5000};
    int fd_ = -1;
    std::atomic<bool> connected_ {false};
    // Reader side: received bytes not yet handed out start at readPos_.
    QByteArray buffer_;
    qsizetype readPos_ = 0;
    qsizetype scanned_ = 0;  // bytes from readPos_ already known to hold no EOT
};
