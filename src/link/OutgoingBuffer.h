#pragma once

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// The link's outgoing path, beyond the socket itself: the bytes the system has not taken yet,
// in order, with a mark for each message in them (where it starts and ends in the whole
// outgoing stream, when it was written, whether it is a score), the count of every byte
// handed to the system, and the last scores handed, to tell at the end whether the peer
// acknowledged them. Pure: the system is a function that takes what it can now.
class OutgoingBuffer
{
public:
    // The most this buffer holds, beyond what the system's send buffer holds.
    static constexpr qsizetype kMaxBytes = 64 * 1024;
    // The scores handed to the system that are remembered, until the connection ends, to tell
    // whether the peer acknowledged them.
    static constexpr size_t kKeptScores = 32;

    // Hands [data, data + size) to the system without waiting: the count it took (0 when it
    // takes nothing now), or -1 when the socket failed.
    using SendSome = std::function<qsizetype(const char *data, qsizetype size)>;

    // Puts the whole message into the outgoing path, written at `nowMs`: what waits goes first
    // (what `send` takes of it), then the message, as far as `send` takes it; the rest waits
    // here, behind what is here already. False when `send` failed, or when the rest would
    // make the buffer overflow (the message is then not kept).
    bool write(const QByteArray &message, bool score, std::int64_t nowMs, const SendSome &send);
    // Hands what waits to `send`, as far as it takes it. False when `send` failed.
    bool flush(const SendSome &send);

    // Bytes that wait, not yet taken by the system.
    qsizetype unsentBytes() const { return qsizetype(out_.size()) - head_; }
    // When the oldest message still wholly or partly waiting was written; -1 when none waits.
    std::int64_t oldestUnsentAtMs() const { return marks_.empty() ? -1 : marks_.front().atMs; }
    // Whether what waits has waited `limitMs` or longer at `nowMs`.
    bool waitedTooLong(std::int64_t nowMs, int limitMs) const;
    // Every byte handed to the system so far.
    std::int64_t handedBytes() const { return handed_; }

    struct Unsent {
        QByteArray message;
        bool score = false;
    };
    // What never reached the peer, in order, when the last `unacknowledged` bytes handed to
    // the system never reached it: the remembered scores among those bytes, then every message
    // still wholly or partly waiting (with whether it is a score). The buffer is emptied.
    std::vector<Unsent> takeUnsent(std::int64_t unacknowledged);

private:
    // Hands what `send` takes of [data, data + size), counting it: the count, -1 on failure.
    qsizetype hand(const char *data, qsizetype size, const SendSome &send);
    void keepHandedScore(std::int64_t end, const QByteArray &message);

    // Every byte handed to the system so far; the scores among them.
    std::int64_t handed_ = 0;
    struct HandedScore {
        std::int64_t end;
        QByteArray message;
    };
    std::deque<HandedScore> handedScores_;
    // out_[head_..] waits; each message in it has a mark with its start and end as positions
    // in the whole outgoing stream (streamBase_ is the stream position of out_[0];
    // streamBase_ + head_ == handed_ while the socket works). Bytes before the first mark's
    // start are dropped from time to time.
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
};
