#pragma once

#include "link/ConsoleMessage.h"
#include "link/EotFramer.h"
#include "link/LinkOptions.h"
#include "link/OutgoingBuffer.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// One TCP connection to the event server on a plain OS socket (platform/Socket.h). The main
// thread connects, writes and closes; the connection's reader thread reads. Reading on one
// thread while another writes is safe on an OS socket.
//
// The socket is non-blocking, so that the main thread never waits on it: a message the
// system cannot take at once goes, whole or in part, to the link's OutgoingBuffer (at most
// OutgoingBuffer::kMaxBytes), which flush() writes as the socket takes it. The reader waits
// for bytes (sock::waitReadable), which keeps its blocking read semantics.
//
// Closing shuts the connection down (which wakes a waiting reader) and marks it closed; the
// descriptor itself is released only when the object is destroyed, that is when its last
// shared owner lets go. So a reader still holding an old connection can never read from or
// shut down a descriptor that the system has since given to a newer connection. A link given
// up is also reset (abort()): where the system can, an unconnected socket takes the
// descriptor's place, and the connection is reset when the reader lets go of it.
//
// The count of bytes the peer has not acknowledged is the system's (Linux's SIOCOUTQ); where
// the system cannot tell, a score the system has taken counts as delivered.
class TcpLink
{
public:
    // The longest a server may go without answering (keep-alive probes, or data it has not
    // acknowledged) before the connection fails.
    static constexpr int kDeadServerSeconds = 10;

    // How an open waits for a connect under way on `fd` to have its outcome: until
    // connectSettled(fd), or until `deadline` (nowMs() clock) has come, or until the waiter
    // gives the open up.
    enum class ConnectWait { Settled, TimedOut, GivenUp };
    using ConnectWaiter = std::function<ConnectWait(qintptr fd, std::int64_t deadline)>;

    TcpLink() = default;
    ~TcpLink();
    TcpLink(const TcpLink &) = delete;
    TcpLink &operator=(const TcpLink &) = delete;

    // Opens the connection to `options.port`, blocking for at most options.connectTimeoutMs
    // in all; unsent data may then wait options.sendTimeoutMs (giveUpMs()). `host` is an IPv4
    // address in dotted decimal or a host name. On failure `error` gets the socket layer's
    // text (the system's text for ETIMEDOUT when the time is up). Only once per object.
    // `wait`, when given, does the waiting for the connect (the station's own, which goes on
    // handling its closing and signals meanwhile); otherwise the open blocks.
    bool open(const QByteArray &host, const LinkOptions &options, QString *error = nullptr,
              const ConnectWaiter &wait = {});
    // Whether a connect under way on `fd` has its outcome (connected or failed); never waits.
    static bool connectSettled(qintptr fd);

    // Main thread. Puts the whole message into the outgoing path without waiting: what the
    // socket does not take at once is kept in the outgoing buffer, in order, behind what is
    // there already. False when not connected, when the socket fails, or when the buffer
    // would overflow; in the last two cases the connection is closed here, as if the peer
    // had dropped it. `score` marks a message whose loss must be reported (takeUnsent()).
    bool write(const QByteArray &data, bool score = false);
    // Main thread. Writes as much of the outgoing buffer as the socket takes now. False when
    // the socket fails: the connection is then closed.
    bool flush();
    // Main thread. Flushes, waiting for the socket, until the buffer is empty or `ms` have
    // passed (or the connection fails). True when everything went out.
    bool drain(int ms);

    // Bytes in the outgoing buffer, not yet taken by the socket.
    qsizetype unsentBytes() const { return out_.unsentBytes(); }
    // The monotonic time (ms, nowMs()) at which the oldest message still wholly or partly
    // unsent was written; -1 when nothing waits.
    std::int64_t oldestUnsentAtMs() const { return out_.oldestUnsentAtMs(); }
    // Whether unsent data has waited giveUpMs() or longer at `now`.
    bool unsentExpired(std::int64_t now) const { return out_.waitedTooLong(now, giveUpMs_); }
    // What never reached the peer, in order: the scores the system took but the peer had
    // not acknowledged when the connection closed, then every message still wholly or partly
    // in the outgoing buffer (with whether it is a score). The buffer is emptied: nothing in
    // it ever goes out.
    using Unsent = OutgoingBuffer::Unsent;
    // `unacknowledged` false: the buffer's messages only.
    std::vector<Unsent> takeUnsent(bool unacknowledged = true);

    // The descriptor (a SOCKET on Windows), for a write-readiness notifier (-1 before open).
    qintptr descriptor() const { return fd_; }
    // How long unsent data may wait before the link counts as lost, for this connection.
    int giveUpMs() const { return giveUpMs_; }

    // The clock of oldestUnsentAtMs().
    static std::int64_t nowMs();

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
    // when it was not connected. Safe from any thread, any number of times. The outgoing
    // buffer is kept until takeUnsent() (main thread) empties it.
    bool close();
    // Main thread. Closes the connection and resets it, so that nothing the system still
    // holds for the peer goes out later (a link given up). After takeUnsent().
    void abort();

private:
    // Bytes the system holds that the peer has not acknowledged (0 where it cannot tell).
    std::int64_t unacknowledgedBytes() const;
    // Sends what the socket takes now of [data, data + size): the count, or -1 on a socket
    // error (the outgoing buffer's way to the socket).
    qsizetype sendSome(const char *data, qsizetype size);

    qintptr fd_ = -1;
    int giveUpMs_ = LinkOptions().sendTimeoutMs;
    std::atomic<bool> connected_ {false};
    std::atomic<std::int64_t> unackedAtClose_ {-1};
    bool aborted_ = false;

    // Main thread side: the outgoing buffer, and its way to the socket.
    OutgoingBuffer out_;
    const OutgoingBuffer::SendSome send_ = [this](const char *data, qsizetype size) { return sendSome(data, size); };

    // Reader side: the received bytes not yet handed out.
    EotFramer framer_ {kMaxMessageBytes};
};
