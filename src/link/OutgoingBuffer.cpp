#include "link/OutgoingBuffer.h"

qsizetype OutgoingBuffer::hand(const char *data, qsizetype size, const SendSome &send)
{
    qsizetype done = 0;
    while (done < size) {
        const qsizetype n = send(data + done, size - done);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
        handed_ += n;
    }
    return done;
}

bool OutgoingBuffer::write(const QByteArray &message, bool score, std::int64_t nowMs, const SendSome &send)
{
    // Make room first: what the system takes now need not wait here.
    if (unsentBytes() > 0 && !flush(send))
        return false;
    const std::int64_t start = handed_ + unsentBytes();  // the message's place in the stream
    qsizetype taken = 0;
    if (unsentBytes() == 0) {
        taken = hand(message.constData(), message.size(), send);
        if (taken < 0)
            return false;
        if (taken == message.size()) {
            if (score)
                keepHandedScore(start + message.size(), message);
            return true;
        }
    }
    const qsizetype rest = message.size() - taken;
    if (unsentBytes() + rest > kMaxBytes)
        return false;  // the peer takes less than the station sends
    if (marks_.empty()) {
        // Nothing here is needed any more; the message starts the buffer afresh, whole (so
        // that a given-up one can be told whole), its handed part before head_.
        out_.resize(0);
        head_ = taken;
        streamBase_ = start;
    }
    out_.append(message);
    marks_.push_back(Mark {start, start + message.size(), nowMs, score});
    return true;
}

bool OutgoingBuffer::flush(const SendSome &send)
{
    if (unsentBytes() == 0)
        return true;
    const qsizetype n = hand(out_.constData() + head_, unsentBytes(), send);
    if (n < 0)
        return false;
    head_ += n;
    const std::int64_t handedTo = streamBase_ + head_;
    while (!marks_.empty() && marks_.front().end <= handedTo) {
        const Mark &m = marks_.front();
        if (m.score)
            keepHandedScore(m.end, out_.mid(qsizetype(m.start - streamBase_), qsizetype(m.end - m.start)));
        marks_.pop_front();
    }
    if (marks_.empty()) {
        out_.resize(0);
        head_ = 0;
        streamBase_ = handedTo;
    } else if (const qsizetype drop = qsizetype(marks_.front().start - streamBase_); drop >= 16 * 1024) {
        out_.remove(0, drop);
        head_ -= drop;
        streamBase_ += drop;
    }
    return true;
}

void OutgoingBuffer::keepHandedScore(std::int64_t end, const QByteArray &message)
{
    handedScores_.push_back(HandedScore {end, message});
    if (handedScores_.size() > kKeptScores)
        handedScores_.pop_front();
}

bool OutgoingBuffer::waitedTooLong(std::int64_t nowMs, int limitMs) const
{
    const std::int64_t at = oldestUnsentAtMs();
    return at >= 0 && nowMs - at >= limitMs;
}

std::vector<OutgoingBuffer::Unsent> OutgoingBuffer::takeUnsent(std::int64_t unacknowledged)
{
    std::vector<Unsent> unsent;
    // Scores the system took but the peer never acknowledged come first, in order.
    const std::int64_t acknowledged = handed_ - unacknowledged;
    for (const HandedScore &h : handedScores_)
        if (h.end > acknowledged)
            unsent.push_back(Unsent {h.message, true});
    handedScores_.clear();
    for (const Mark &m : marks_)
        unsent.push_back(Unsent {out_.mid(qsizetype(m.start - streamBase_), qsizetype(m.end - m.start)), m.score});
    marks_.clear();
    out_ = QByteArray();
    head_ = 0;
    streamBase_ = handed_;
    return unsent;
}
