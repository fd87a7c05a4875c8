#pragma once

#include "link/ConsoleMessage.h"
#include "link/EotFramer.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// One TCP connection to the event server on a plain OS socket. The main thread connects,
// writes and closes; the connection's reader thread reads. Reading on one thread while
// another writes is safe on an OS socket.
//
// The socket is non-blocking, so that the main thread never waits on it: a message the
// system cannot take at once goes, whole or in part, to the link's own outgoing buffer
// (at most kMaxOutgoingBytes), which flush() writes as the socket takes it. The reader waits
// for bytes with poll(), which keeps its blocking read semantics.
//
// Closing shuts the connection down (which wakes a waiting reader) and marks it closed; the
// descriptor itself is released only when the object is destroyed, that is when its last
// shared owner lets go. So a reader still holding an old connection can never read from or
// shut down a descriptor that the system has since given to a newer connection. A link given
// up is also reset (abort()): an unconnected socket takes the descriptor's place, and the
// connection is reset when the reader lets go of it.
//
// Where the system differs (Windows: Winsock): the non-blocking socket is FIONBIO, the reader
// waits with WSAPoll in 50 ms slices (a local shutdown does not wake WSAPoll), and the bounded
// connect waits with select(). The count of bytes the peer has not acknowledged (SIOCOUTQ) is
// Linux's; without it, a score the system has taken counts as delivered. The descriptor swap
// of abort() is POSIX (dup3); on Windows the zero linger resets the connection when the last
// owner releases the socket.
class TcpLink
{
public:
    // The link's own outgoing buffer, beyond what the system's send buffer holds.
    static constexpr qsizetype kMaxOutgoingBytes = 64 * 1024;
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

    // Opens the connection, blocking for at most connectTimeoutMs() in all. `host` is an
    // IPv4 address in dotted decimal or a host name. On failure `error` gets the socket
    // layer's text (the system's text for ETIMEDOUT when the time is up). Only once per
    // object. `wait`, when given, does the waiting for the connect (the station's own, which
    // goes on handling its closing and signals meanwhile); otherwise the open blocks.
    bool open(const QByteArray &host, quint16 port, QString *error = nullptr, const ConnectWaiter &wait = {});
    // Whether a connect under way on `fd` has its outcome (connected or failed); never waits.
    static bool connectSettled(qintptr fd);

    // Main thread. Puts the whole message into the outgoing path without waiting: what the
    // socket does not take at once is kept in the outgoing buffer, in order, behind what is
    // there already. False when not connected, when the socket fails, or when the buffer
    // would overflow; in the last two cases the connection is closed here, as if the peer
    // had dropped it. `score` marks a message whose loss must be reported (unsentScore()).
    bool write(const QByteArray &data, bool score = false);
    // Main thread. Writes as much of the outgoing buffer as the socket takes now. False when
    // the socket fails: the connection is then closed.
    bool flush();
    // Main thread. Flushes, waiting for the socket, until the buffer is empty or `ms` have
    // passed (or the connection fails). True when everything went out.
    bool drain(int ms);

    // Bytes in the outgoing buffer, not yet taken by the socket.
    qsizetype unsentBytes() const { return qsizetype(out_.size()) - head_; }
    // The monotonic time (ms, nowMs()) at which the oldest message still wholly or partly
    // unsent was written; -1 when nothing waits.
    std::int64_t oldestUnsentAtMs() const { return marks_.empty() ? -1 : marks_.front().atMs; }
    // Whether unsent data has waited giveUpMs() or longer at `now`.
    bool unsentExpired(std::int64_t now) const;
    // What never reached the peer, in order: the scores the system took but the peer had
    // not acknowledged when the connection closed, then every message still wholly or partly
    // in the outgoing buffer (with whether it is a score). The buffer is emptied: nothing in
    // it ever goes out.
    struct Unsent {
        QByteArray message;
        bool score = false;
    };
    // `unacknowledged` false: the buffer's messages only.
    std::vector<Unsent> takeUnsent(bool unacknowledged = true);

    // The descriptor (a SOCKET on Windows), for a write-readiness notifier (-1 before open).
    qintptr descriptor() const { return fd_; }
    // How long unsent data may wait before the link counts as lost, for this connection.
    int giveUpMs() const { return giveUpMs_; }

    // The give-up time for unsent data (5 s); for connections opened from now on (tests
    // shorten it).
    static int sendTimeoutMs() { return sendTimeoutMs_.load(std::memory_order_relaxed); }
    static void setSendTimeoutMs(int ms) { sendTimeoutMs_.store(ms, std::memory_order_relaxed); }
    // The longest an open may take (10 s); for opens from now on (tests shorten it).
    static int connectTimeoutMs() { return connectTimeoutMs_.load(std::memory_order_relaxed); }
    static void setConnectTimeoutMs(int ms) { connectTimeoutMs_.store(ms, std::memory_order_relaxed); }
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
    // The scores handed to the system that are remembered, until the connection ends, to
    // tell whether the peer acknowledged them.
    static constexpr size_t kKeptScores = 32;
    // Bytes the system holds that the peer has not acknowledged (0 where it cannot tell).
    std::int64_t unacknowledgedBytes() const;
    void keepHandedScore(std::int64_t end, const QByteArray &message);
    // Sends what it can of [data, data + size) without waiting: the count taken, or -1 on a
    // socket error.
    qsizetype sendSome(const char *data, qsizetype size);

    static inline std::atomic<int> sendTimeoutMs_ {5000};
    static inline std::atomic<int> connectTimeoutMs_ {10000};
    qintptr fd_ = -1;
    int giveUpMs_ = 5000;
    std::atomic<bool> connected_ {false};

    // Main thread side. Every byte handed to the system so far; the scores among them.
    std::int64_t sentTotal_ = 0;
    struct HandedScore {
        std::int64_t end;
        QByteArray message;
    };
    std::deque<HandedScore> handedScores_;
    std::atomic<std::int64_t> unackedAtClose_ {-1};
    bool aborted_ = false;
    // The outgoing buffer. out_[head_..] is unsent; each message in it has
    // a mark with its start and end as positions in the whole outgoing stream (streamBase_
    // is the stream position of out_[0]; streamBase_ + head_ == sentTotal_). Bytes before the first mark's start are dropped
    // from time to time.
    struct Mark {
        std::int64_t start;
        std::int64_t end;
        std::int64_t atMs;
        bool score;
    };
    QByteArray out_;
    qsizetype head_ = 0;
    std::int64_t streamBase_ = 0;
    std::deque<Mark> marks_;

    // Reader side: the received bytes not yet handed out.
    EotFramer framer_ {kMaxMessageBytes};
};
