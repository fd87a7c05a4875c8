#include "link/TcpLink.h"

#include "link/ConsoleMessage.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef __linux__
#include <linux/sockios.h>
#endif
#include <netdb.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kReadChunk = 64 * 1024;

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

} // namespace

TcpLink::~TcpLink()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::int64_t TcpLink::nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {

// Waits for `events` on `fd` until `deadline` (nowMs() clock; -1: no limit). The revents,
// 0 when the time is up, -1 on a poll error.
int waitFor(int fd, short events, std::int64_t deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline >= 0)
            timeout = int(std::max<std::int64_t>(0, deadline - TcpLink::nowMs()));
        pollfd p {fd, events, 0};
        const int r = ::poll(&p, 1, timeout);
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

} // namespace

bool TcpLink::open(const QByteArray &host, quint16 port, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (fd_ >= 0)
        return fail(QStringLiteral("The connection has already been opened."));
    if (host.isEmpty())
        return fail(QStringLiteral("No server address to connect to."));

    const std::int64_t deadline = nowMs() + std::max(0, connectTimeoutMs());
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *found = nullptr;
    const QByteArray service = QByteArray::number(port);
    const int rc = ::getaddrinfo(host.constData(), service.constData(), &hints, &found);
    if (rc != 0 || !found) {
        const QString text = rc == EAI_SYSTEM ? errnoText(errno) : QString::fromLocal8Bit(::gai_strerror(rc));
        return fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(host), text));
    }

    int lastError = ECONNREFUSED;
    for (addrinfo *a = found; a; a = a->ai_next) {
        if (nowMs() >= deadline) {
            lastError = ETIMEDOUT;
            break;
        }
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        // Connect without blocking and wait for the outcome within the time left, instead of
        // the system's own time-out (minutes for a host that never answers).
        int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
        int e = r == 0 ? 0 : errno;
        if (r < 0 && (e == EINPROGRESS || e == EINTR)) {
            const int ready = waitFor(fd, POLLOUT, deadline);
            if (ready == 0) {
                e = ETIMEDOUT;
            } else if (ready < 0) {
                e = errno;
            } else {
                socklen_t len = sizeof e;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) < 0)
                    e = errno;
            }
        }
        if (e == 0) {
            // Each message goes out in one write; do not hold the next small one back.
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            fd_ = fd;
            break;
        }
        lastError = e;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (fd_ < 0)
        return fail(errnoText(lastError));
    giveUpMs_ = sendTimeoutMs();
    connected_.store(true, std::memory_order_release);
    return true;
}

qsizetype TcpLink::sendSome(const char *data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd_, data + done, size_t(size - done), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            return -1;
        }
        done += n;
        sentTotal_ += n;
    }
    return done;
}

bool TcpLink::write(const QByteArray &data, bool score)
{
    if (!connected())
        return false;
    // Make room first: what the socket takes now need not wait in the buffer.
    if (unsentBytes() > 0 && !flush())
        return false;
    const std::int64_t start = sentTotal_ + unsentBytes();  // the message's place in the stream
    qsizetype taken = 0;
    if (unsentBytes() == 0) {
        taken = sendSome(data.constData(), data.size());
        if (taken < 0) {
            close();
            return false;
        }
        if (taken == data.size()) {
            if (score)
                keepHandedScore(start + data.size(), data);
            return true;
        }
    }
    const qsizetype rest = data.size() - taken;
    if (unsentBytes() + rest > kMaxOutgoingBytes) {
        // The peer takes less than the station sends: the link counts as lost.
        close();
        return false;
    }
    if (marks_.empty()) {
        // Nothing in the buffer is needed any more; the message starts it afresh, whole (so
        // that a given-up one can be told whole), its sent part before head_.
        out_.resize(0);
        head_ = taken;
        streamBase_ = start;
    }
    out_.append(data);
    marks_.push_back(Mark {start, start + data.size(), nowMs(), score});
    return true;
}

bool TcpLink::flush()
{
    if (!connected())
        return false;
    if (unsentBytes() == 0)
        return true;
    const qsizetype n = sendSome(out_.constData() + head_, unsentBytes());
    if (n < 0) {
        close();
        return false;
    }
    head_ += n;
    const std::int64_t sentTo = streamBase_ + head_;
    while (!marks_.empty() && marks_.front().end <= sentTo) {
        const Mark &m = marks_.front();
        if (m.score)
            keepHandedScore(m.end, out_.mid(qsizetype(m.start - streamBase_), qsizetype(m.end - m.start)));
        marks_.pop_front();
    }
    if (marks_.empty()) {
        out_.resize(0);
        head_ = 0;
        streamBase_ = sentTo;
    } else if (const qsizetype drop = qsizetype(marks_.front().start - streamBase_); drop >= 16 * 1024) {
        out_.remove(0, drop);
        head_ -= drop;
        streamBase_ += drop;
    }
    return true;
}

void TcpLink::keepHandedScore(std::int64_t end, const QByteArray &message)
{
    handedScores_.push_back(HandedScore {end, message});
    if (handedScores_.size() > kKeptScores)
        handedScores_.pop_front();
}

std::int64_t TcpLink::unacknowledgedBytes() const
{
#ifdef SIOCOUTQ
    int queued = 0;
    if (fd_ >= 0 && ::ioctl(fd_, SIOCOUTQ, &queued) == 0 && queued > 0)
        return queued;
#endif
    return 0;
}

bool TcpLink::drain(int ms)
{
    const std::int64_t deadline = nowMs() + std::max(0, ms);
    for (;;) {
        if (!flush())
            return false;
        if (unsentBytes() == 0)
            return true;
        const int ready = waitFor(fd_, POLLOUT, deadline);
        if (ready == 0)
            return false;
        if (ready < 0 || (ready & (POLLERR | POLLHUP | POLLNVAL))) {
            flush();  // takes the socket's error, if any, and closes
            return unsentBytes() == 0;
        }
    }
}

bool TcpLink::unsentExpired(std::int64_t now) const
{
    const std::int64_t at = oldestUnsentAtMs();
    return at >= 0 && now - at >= giveUpMs_;
}

std::vector<TcpLink::Unsent> TcpLink::takeUnsent(bool unacknowledged)
{
    std::vector<Unsent> unsent;
    if (!unacknowledged)
        handedScores_.clear();
    // Scores the system took but the peer never acknowledged come first, in order.
    std::int64_t unacked = unackedAtClose_.load(std::memory_order_acquire);
    if (unacked < 0)
        unacked = unacknowledgedBytes();
    const std::int64_t acked = sentTotal_ - unacked;
    for (const HandedScore &h : handedScores_)
        if (h.end > acked)
            unsent.push_back(Unsent {h.message, true});
    handedScores_.clear();
    for (const Mark &m : marks_)
        unsent.push_back(Unsent {out_.mid(qsizetype(m.start - streamBase_), qsizetype(m.end - m.start)), m.score});
    marks_.clear();
    out_ = QByteArray();
    head_ = 0;
    streamBase_ = sentTotal_;
    return unsent;
}

void TcpLink::abort()
{
    close();
    if (fd_ < 0 || aborted_)
        return;
    aborted_ = true;
    // The connection is reset once the socket is released: nothing the system still holds
    // for the peer goes out later. The descriptor number stays ours (a socket that is not
    // connected takes its place), so a reader still holding it never reads another
    // connection's bytes.
    const linger now {1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    const int placeholder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (placeholder >= 0) {
        ::dup3(placeholder, fd_, O_CLOEXEC);
        ::close(placeholder);
    }
}

TcpLink::ReadResult TcpLink::takeBufferedMessage(QByteArray &text)
{
    const qsizetype avail = buffer_.size() - readPos_;
    const char *base = buffer_.constData() + readPos_;
    const void *hit = avail > scanned_ ? std::memchr(base + scanned_, ctl::EOT, size_t(avail - scanned_)) : nullptr;
    if (!hit) {
        scanned_ = avail;
        return avail > kMaxMessageBytes ? ReadResult::TooLong : ReadResult::NeedMore;
    }
    const qsizetype length = static_cast<const char *>(hit) - base;
    if (length > kMaxMessageBytes)
        return ReadResult::TooLong;
    text = QByteArray(base, length);
    readPos_ += length + 1;
    scanned_ = 0;
    if (readPos_ == buffer_.size()) {
        buffer_.resize(0);
        readPos_ = 0;
    }
    return ReadResult::Message;
}

TcpLink::ReadResult TcpLink::readMessage(QByteArray &text)
{
    for (;;) {
        const ReadResult r = takeBufferedMessage(text);
        if (r != ReadResult::NeedMore)
            return r;
        if (readPos_ > 0) {
            buffer_.remove(0, readPos_);
            readPos_ = 0;
        }
        const qsizetype had = buffer_.size();
        buffer_.resize(had + kReadChunk);
        // The socket does not block; waiting for bytes (or for the close) is poll's.
        ssize_t n;
        for (;;) {
            n = ::recv(fd_, buffer_.data() + had, size_t(kReadChunk), 0);
            if (n >= 0)
                break;
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                break;
            if (waitFor(fd_, POLLIN, -1) < 0)
                break;
        }
        buffer_.resize(had + (n > 0 ? n : 0));
        if (n == 0)
            return ReadResult::Closed;
        if (n < 0)
            return connected() ? ReadResult::Failed : ReadResult::Closed;
    }
}

bool TcpLink::close()
{
    bool expected = true;
    if (!connected_.compare_exchange_strong(expected, false, std::memory_order_acq_rel))
        return false;
    // Before the shutdown, whose FIN would count among the unacknowledged bytes.
    unackedAtClose_.store(unacknowledgedBytes(), std::memory_order_release);
    ::shutdown(fd_, SHUT_RDWR);
    return true;
}
