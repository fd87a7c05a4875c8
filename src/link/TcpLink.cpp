#include "link/TcpLink.h"

#include "platform/KeepAlive.h"
#include "platform/Socket.h"

#include "link/ConsoleMessage.h"

#include <algorithm>

namespace {

constexpr qsizetype kReadChunk = 64 * 1024;

} // namespace

TcpLink::~TcpLink()
{
    if (fd_ >= 0)
        sock::close(fd_);
}

std::int64_t TcpLink::nowMs()
{
    return sock::clockMs();
}

bool TcpLink::connectSettled(qintptr fd)
{
    return sock::waitConnected(fd, nowMs());
}

bool TcpLink::open(const QByteArray &host, const LinkOptions &options, QString *error, const ConnectWaiter &wait)
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

    if (!sock::start())
        return fail(QStringLiteral("The system's sockets could not be started."));
    const std::int64_t deadline = nowMs() + std::max(0, options.connectTimeoutMs);
    std::vector<sock::Address> found;
    QString resolveError;
    if (!sock::resolve(host, options.port, found, &resolveError))
        return fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(host), resolveError));

    int lastError = sock::refusedError();
    bool givenUp = false;
    for (auto a = found.cbegin(); a != found.cend() && !givenUp; ++a) {
        if (nowMs() >= deadline) {
            lastError = sock::timedOutError();
            break;
        }
        const qintptr fd = sock::open(*a);
        if (fd < 0) {
            lastError = sock::lastError();
            continue;
        }
        // Connect without blocking and wait for the outcome within the time left, instead of
        // the system's own time-out (minutes for a host that never answers).
        int e = sock::startConnect(fd, *a);
        if (sock::connectPending(e)) {
            const ConnectWait w = wait ? wait(fd, deadline)
                                       : (sock::waitConnected(fd, deadline) ? ConnectWait::Settled : ConnectWait::TimedOut);
            givenUp = w == ConnectWait::GivenUp;
            e = w == ConnectWait::Settled ? sock::connectOutcome(fd) : sock::timedOutError();
        }
        if (e == 0) {
            // Each message goes out in one write; do not hold the next small one back.
            sock::setNoDelay(fd);
            // A server that vanished without a word (a cable, its power, its address) closes
            // the link within seconds instead of the system's many minutes: within 10 s of its
            // last answer, so that the judge sees it well within 15 s.
            EnableKeepAlive(fd, kDeadServerSeconds);
            fd_ = fd;
            break;
        }
        lastError = e;
        sock::close(fd);
    }
    if (givenUp)
        return fail(QStringLiteral("The connect was given up."));
    if (fd_ < 0)
        return fail(sock::errorText(lastError));
    giveUpMs_ = options.sendTimeoutMs;
    connected_.store(true, std::memory_order_release);
    return true;
}

qsizetype TcpLink::sendSome(const char *data, qsizetype size)
{
    for (;;) {
        const qsizetype n = sock::send(fd_, data, size);
        if (n >= 0)
            return n;
        const int e = sock::lastError();
        if (sock::interrupted(e))
            continue;
        return sock::wouldBlock(e) ? 0 : -1;
    }
}

bool TcpLink::write(const QByteArray &data, bool score)
{
    if (!connected())
        return false;
    if (!out_.write(data, score, nowMs(), send_)) {
        // The socket failed, or the peer takes less than the station sends: the link counts
        // as lost.
        close();
        return false;
    }
    return true;
}

bool TcpLink::flush()
{
    if (!connected())
        return false;
    if (!out_.flush(send_)) {
        close();
        return false;
    }
    return true;
}

std::int64_t TcpLink::unacknowledgedBytes() const
{
    return fd_ >= 0 ? sock::unacknowledgedBytes(fd_) : 0;
}

bool TcpLink::drain(int ms)
{
    const std::int64_t deadline = nowMs() + std::max(0, ms);
    for (;;) {
        if (!flush())
            return false;
        if (unsentBytes() == 0)
            return true;
        const sock::Ready ready = sock::waitWritable(fd_, deadline);
        if (ready == sock::Ready::TimedOut)
            return false;
        if (ready == sock::Ready::Broken) {
            flush();  // takes the socket's error, if any, and closes
            return unsentBytes() == 0;
        }
    }
}

std::vector<TcpLink::Unsent> TcpLink::takeUnsent(bool unacknowledged)
{
    if (!unacknowledged)
        return out_.takeUnsent(0);
    std::int64_t unacked = unackedAtClose_.load(std::memory_order_acquire);
    if (unacked < 0)
        unacked = unacknowledgedBytes();
    return out_.takeUnsent(unacked);
}

void TcpLink::abort()
{
    close();
    if (fd_ < 0 || aborted_)
        return;
    aborted_ = true;
    // The connection is reset once the socket is released: nothing the system still holds
    // for the peer goes out later. Where the system can, the descriptor number stays ours (a
    // socket that is not connected takes its place), so a reader still holding it never
    // reads another connection's bytes.
    sock::reset(fd_);
}

TcpLink::ReadResult TcpLink::takeBufferedMessage(QByteArray &text)
{
    switch (framer_.next(text)) {
    case EotFramer::Result::Message:
        return ReadResult::Message;
    case EotFramer::Result::NeedMore:
        return ReadResult::NeedMore;
    default:
        return ReadResult::TooLong;
    }
}

TcpLink::ReadResult TcpLink::readMessage(QByteArray &text)
{
    for (;;) {
        const ReadResult r = takeBufferedMessage(text);
        if (r != ReadResult::NeedMore)
            return r;
        char *room = framer_.reserve(kReadChunk);
        // The socket does not block; waiting for bytes (or for the close) is the system's.
        qsizetype n;
        for (;;) {
            n = sock::receive(fd_, room, kReadChunk);
            if (n >= 0)
                break;
            const int e = sock::lastError();
            if (sock::interrupted(e))
                continue;
            if (!sock::wouldBlock(e) || !sock::waitReadable(fd_, connected_))
                break;
        }
        framer_.commit(n);
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
    sock::shutdown(fd_);
    return true;
}
