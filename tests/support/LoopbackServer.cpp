#include "LoopbackServer.h"

#include <QTest>

#include <cerrno>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Winsock's names for what the server uses. The socket notifier makes a socket non-blocking
// on Windows, so every call here copes with "would block".
using ssize_t = long long;
constexpr int kDontWait = 0;
constexpr int kNoSignal = 0;
int socketError() { return WSAGetLastError(); }
bool retryLater(int e) { return e == WSAEWOULDBLOCK || e == WSAEINTR; }
void closeFd(qintptr fd) { ::closesocket(SOCKET(fd)); }
qintptr newSocket()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return -1;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? -1 : qintptr(s);
}
qintptr acceptFd(qintptr fd)
{
    const SOCKET s = ::accept(SOCKET(fd), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : qintptr(s);
}
void setNonBlocking(qintptr fd)
{
    u_long on = 1;
    ::ioctlsocket(SOCKET(fd), FIONBIO, &on);
}
void waitWritable(qintptr fd)
{
    WSAPOLLFD p {SOCKET(fd), POLLOUT, 0};
    ::WSAPoll(&p, 1, 100);
}
#else
constexpr int kDontWait = MSG_DONTWAIT;
constexpr int kNoSignal = MSG_NOSIGNAL;
int socketError() { return errno; }
bool retryLater(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINTR; }
void closeFd(qintptr fd) { ::close(int(fd)); }
qintptr newSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
qintptr acceptFd(qintptr fd) { return ::accept4(int(fd), nullptr, nullptr, SOCK_CLOEXEC); }
void setNonBlocking(qintptr fd) { ::fcntl(int(fd), F_SETFL, ::fcntl(int(fd), F_GETFL) | O_NONBLOCK); }
void waitWritable(qintptr fd)
{
    pollfd p {int(fd), POLLOUT, 0};
    ::poll(&p, 1, 100);
}
#endif

qintptr bindLoopback(quint16 port, quint16 *bound)
{
    const qintptr fd = newSocket();
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&one), sizeof one);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        closeFd(fd);
        return -1;
    }
    *bound = ntohs(a.sin_port);
    return fd;
}

} // namespace

LoopbackServer::LoopbackServer(QObject *parent) : QObject(parent) {}

LoopbackServer::~LoopbackServer()
{
    stopListening();
    for (auto &c : conns_)
        close(c.get());
}

qintptr LoopbackServer::listenSocket(int backlog, quint16 *port, quint16 wanted)
{
    const qintptr fd = bindLoopback(wanted, port);
    if (fd >= 0 && ::listen(fd, backlog) != 0) {
        closeFd(fd);
        return -1;
    }
    return fd;
}

bool LoopbackServer::listen(quint16 port)
{
    if (listenFd_ >= 0)
        return false;
    listenFd_ = listenSocket(16, &port_, port);
    if (listenFd_ < 0)
        return false;
    setNonBlocking(listenFd_);
    listenNotifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    connect(listenNotifier_.get(), &QSocketNotifier::activated, this, [this] { accept(); });
    return true;
}

void LoopbackServer::stopListening()
{
    listenNotifier_.reset();
    if (listenFd_ >= 0)
        closeFd(listenFd_);
    listenFd_ = -1;
}

quint16 LoopbackServer::unusedPort()
{
    quint16 port = 1;
    const qintptr fd = bindLoopback(0, &port);
    if (fd >= 0)
        closeFd(fd);  // bound but never listening: a connect is refused
    return port;
}

void LoopbackServer::accept()
{
    for (;;) {
        const qintptr fd = acceptFd(listenFd_);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
        auto c = std::make_unique<Conn>();
        c->fd = fd;
        c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        Conn *raw = c.get();
        connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { read(raw); });
        conns_.push_back(std::move(c));
    }
}

void LoopbackServer::read(Conn *k)
{
    if (k->closed || k->stalled)
        return;
    char buf[65536];
    const ssize_t n = ::recv(k->fd, buf, sizeof buf, kDontWait);
    if (n > 0) {
        k->data.append(buf, n);
        deliver(k);
        return;
    }
    if (n < 0 && retryLater(socketError()))
        return;
    close(k);  // the station closed the connection, or it failed
}

void LoopbackServer::deliver(Conn *k)
{
    // onFrame may stall, drop or reset this connection: look again after each frame.
    const int c = indexOf(k);
    while (onFrame && !k->stalled && !k->closed) {
        const qsizetype eot = k->data.indexOf('\x04', k->delivered);
        if (eot < 0)
            return;
        const QByteArray f = k->data.mid(k->delivered, eot + 1 - k->delivered);
        k->delivered = eot + 1;
        onFrame(c, f);
    }
}

int LoopbackServer::indexOf(const Conn *k) const
{
    for (std::size_t i = 0; i < conns_.size(); ++i)
        if (conns_[i].get() == k)
            return int(i);
    return -1;
}

void LoopbackServer::setStalled(bool stalled, int c)
{
    Conn *k = conn(c);
    if (!k || k->closed)
        return;
    k->stalled = stalled;
    if (k->notifier)
        k->notifier->setEnabled(!stalled);
    if (!stalled)
        deliver(k);  // what was read but held back; the notifier brings what came meanwhile
}

bool LoopbackServer::isStalled(int c) const
{
    const Conn *k = conn(c);
    return k && k->stalled;
}

void LoopbackServer::readNow(qsizetype max, int c)
{
    Conn *k = conn(c);
    if (!k || k->closed)
        return;
    QByteArray buf(max, Qt::Uninitialized);
#ifdef _WIN32
    setNonBlocking(k->fd);
#endif
    const ssize_t n = ::recv(k->fd, buf.data(), int(max), kDontWait);
    if (n > 0)
        k->data.append(buf.constData(), n);
}

qintptr LoopbackServer::descriptor(int c) const
{
    const Conn *k = conn(c);
    return k ? k->fd : -1;
}

void LoopbackServer::close(Conn *k, bool reset)
{
    k->notifier.reset();
    if (k->fd >= 0) {
        if (reset) {
            linger l {};
            l.l_onoff = 1;
            l.l_linger = 0;
            ::setsockopt(k->fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&l), sizeof l);
        }
        closeFd(k->fd);
    }
    k->fd = -1;
    k->closed = true;
    k->stalled = false;
}

LoopbackServer::Conn *LoopbackServer::conn(int c) const
{
    if (conns_.empty())
        return nullptr;
    if (c < 0)
        return conns_.back().get();
    return c < int(conns_.size()) ? conns_[std::size_t(c)].get() : nullptr;
}

bool LoopbackServer::waitForConnections(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return connectionCount() >= count; }, timeoutMs);
}

QByteArray LoopbackServer::received(int c) const
{
    const Conn *k = conn(c);
    return k ? k->data : QByteArray();
}

QList<QByteArray> LoopbackServer::frames(int c) const
{
    QList<QByteArray> out;
    const QByteArray data = received(c);
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] == '\x04') {
            out << data.mid(start, i + 1 - start);
            start = i + 1;
        }
    }
    return out;
}

bool LoopbackServer::waitForFrames(int count, int c, int timeoutMs)
{
    return QTest::qWaitFor([&] { return frames(c).size() >= count; }, timeoutMs);
}

bool LoopbackServer::waitForBytes(qsizetype count, int c, int timeoutMs)
{
    return QTest::qWaitFor([&] { return received(c).size() >= count; }, timeoutMs);
}

void LoopbackServer::clearReceived(int c)
{
    if (Conn *k = conn(c)) {
        k->data.clear();
        k->delivered = 0;
    }
}

bool LoopbackServer::isClosed(int c) const
{
    const Conn *k = conn(c);
    return !k || k->closed;
}

bool LoopbackServer::waitForClosed(int c, int timeoutMs)
{
    return QTest::qWaitFor([&] { return isClosed(c); }, timeoutMs);
}

void LoopbackServer::send(const QByteArray &bytes, int c)
{
    Conn *k = conn(c);
    if (!k || k->closed)
        return;
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::send(k->fd, p, int(left), kNoSignal);
        if (n < 0) {
            const int e = socketError();
            if (e == EINTR)
                continue;
            if (retryLater(e)) {
                waitWritable(k->fd);
                continue;
            }
            return;
        }
        p += n;
        left -= n;
    }
}

void LoopbackServer::sendBytewise(const QByteArray &bytes, int c)
{
    for (char b : bytes)
        send(QByteArray(1, b), c);
}

void LoopbackServer::drop(int c)
{
    if (Conn *k = conn(c); k && !k->closed)
        close(k);
}

void LoopbackServer::reset(int c)
{
    if (Conn *k = conn(c); k && !k->closed)
        close(k, true);
}

QByteArray LoopbackServer::frame(const QByteArray &command, const QByteArray &payload, const QByteArray &sender,
                                 const QByteArray &tag)
{
    return '\x01' + command + tag + sender + '\x02' + payload + '\x04';
}
