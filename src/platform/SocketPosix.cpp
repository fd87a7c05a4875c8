// The link's sockets and wake-up event on POSIX systems (Linux: eventfd, SIOCOUTQ).
#include "platform/Socket.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <linux/sockios.h>
#endif
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/SocketParts.h"

namespace sock {

namespace {

int waitFor(qintptr fd, short events, std::int64_t deadline)
{
    return parts::waitFor(fd, events, deadline, [](pollfd *p, int timeout) { return ::poll(p, 1, timeout); });
}

} // namespace

bool start()
{
    return true;
}

const Errors kErrors {EINTR, ETIMEDOUT, ECONNREFUSED};

int lastError()
{
    return errno;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool wouldBlock(int error)
{
    return error == EWOULDBLOCK || error == EAGAIN;
}

bool resolve(const QByteArray &host, quint16 port, std::vector<Address> &found, QString *errorText)
{
    return parts::resolve(host, port, found, errorText, [](int rc) {
        return rc == EAI_SYSTEM ? sock::errorText(errno) : QString::fromLocal8Bit(::gai_strerror(rc));
    });
}

qintptr open(const Address &address)
{
    return ::socket(address.family, address.type | SOCK_CLOEXEC | SOCK_NONBLOCK, address.protocol);
}

int startConnect(qintptr fd, const Address &address)
{
    const int r = ::connect(int(fd), reinterpret_cast<const sockaddr *>(address.bytes.constData()),
                            socklen_t(address.bytes.size()));
    return r == 0 ? 0 : errno;
}

bool connectPending(int error)
{
    return error == EINPROGRESS || error == EINTR;
}

bool waitConnected(qintptr fd, std::int64_t deadline)
{
    return waitFor(fd, POLLOUT, deadline) != 0;
}

int connectOutcome(qintptr fd)
{
    int e = 0;
    socklen_t len = sizeof e;
    if (::getsockopt(int(fd), SOL_SOCKET, SO_ERROR, &e, &len) < 0)
        e = errno;
    return e;
}

bool connectFailsAsException()
{
    return false;
}

void setNoDelay(qintptr fd)
{
    const int one = 1;
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

qsizetype send(qintptr fd, const char *data, qsizetype size)
{
    return ::send(int(fd), data, size_t(std::min<qsizetype>(size, 1 << 30)), MSG_NOSIGNAL);
}

qsizetype receive(qintptr fd, char *data, qsizetype size)
{
    return ::recv(int(fd), data, size_t(size), 0);
}

Ready waitWritable(qintptr fd, std::int64_t deadline)
{
    return parts::writable(waitFor(fd, POLLOUT, deadline));
}

bool waitReadable(qintptr fd, const std::atomic<bool> &)
{
    // A local shutdown wakes poll() at once.
    return waitFor(fd, POLLIN, -1) >= 0;
}

std::int64_t unacknowledgedBytes(qintptr fd)
{
#ifdef SIOCOUTQ
    int queued = 0;
    if (fd >= 0 && ::ioctl(int(fd), SIOCOUTQ, &queued) == 0 && queued > 0)
        return queued;
#else
    Q_UNUSED(fd);
#endif
    return 0;
}

void shutdown(qintptr fd)
{
    ::shutdown(int(fd), SHUT_RDWR);
}

void reset(qintptr fd)
{
    const linger now {1, 0};
    ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    // The descriptor number stays the caller's: a socket that is not connected takes its place.
    const int placeholder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (placeholder >= 0) {
        ::dup3(placeholder, int(fd), O_CLOEXEC);
        ::close(placeholder);
    }
}

void close(qintptr fd)
{
    ::close(int(fd));
}

} // namespace sock

namespace wake {

qintptr create()
{
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void set(qintptr event)
{
    const std::uint64_t one = 1;
    ssize_t r;
    do {
        r = ::write(int(event), &one, sizeof one);
    } while (r < 0 && errno == EINTR);
}

void clear(qintptr event)
{
    std::uint64_t count;
    ssize_t r;
    do {
        r = ::read(int(event), &count, sizeof count);
    } while (r < 0 && errno == EINTR);
}

void destroy(qintptr event)
{
    if (event >= 0)
        ::close(int(event));
}

QObject *watch(qintptr event, QObject *parent, std::function<void()> woken)
{
    auto *notifier = new QSocketNotifier(event, QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [woken = std::move(woken)] { woken(); });
    return notifier;
}

} // namespace wake
