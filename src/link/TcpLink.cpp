#include "link/TcpLink.h"

#include "link/ConsoleMessage.h"

#include <cerrno>
#include <cstring>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int r;
        do {
            r = ::connect(fd, a->ai_addr, a->ai_addrlen);
        } while (r < 0 && errno == EINTR);
        if (r == 0) {
            // Each message goes out in one write; do not hold the next small one back.
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            const int ms = sendTimeoutMs();
            const timeval timeout {ms / 1000, (ms % 1000) * 1000};
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
            fd_ = fd;
            break;
        }
        lastError = errno;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (fd_ < 0)
        return fail(errnoText(lastError));
    connected_.store(true, std::memory_order_release);
    return true;
}

bool TcpLink::writeAll(const QByteArray &data)
{
    if (!connected())
        return false;
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::send(fd_, p, size_t(left), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                close();  // the peer has taken nothing for the whole send time-out
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
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
        ssize_t n;
        do {
            n = ::recv(fd_, buffer_.data() + had, size_t(kReadChunk), 0);
        } while (n < 0 && errno == EINTR);
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
    ::shutdown(fd_, SHUT_RDWR);
    return true;
}
