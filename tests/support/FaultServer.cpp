#include "FaultServer.h"

#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

FaultServer::FaultServer(QObject *parent) : QObject(parent) {}

FaultServer::~FaultServer()
{
    listenNotifier_.reset();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    for (auto &c : conns_)
        close(c.get(), false);
}

bool FaultServer::listen()
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0)
        return false;
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&a), &len) != 0 || ::listen(listenFd_, 16) != 0)
        return false;
    port_ = ntohs(a.sin_port);
    listenNotifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    connect(listenNotifier_.get(), &QSocketNotifier::activated, this, [this] { accept(); });
    return true;
}

FaultServer::Conn *FaultServer::conn(int c) const
{
    return c >= 0 && c < int(conns_.size()) ? conns_[std::size_t(c)].get() : nullptr;
}

bool FaultServer::isOpen(int c) const
{
    const Conn *k = conn(c);
    return k && k->open;
}

bool FaultServer::isStalled(int c) const
{
    const Conn *k = conn(c);
    return k && k->stalled;
}

QList<QByteArray> FaultServer::frames(int c) const
{
    const Conn *k = conn(c);
    return k ? k->frames : QList<QByteArray>();
}

void FaultServer::accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto k = std::make_unique<Conn>();
        k->fd = fd;
        k->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        const int c = int(conns_.size());
        connect(k->notifier.get(), &QSocketNotifier::activated, this, [this, c] { read(c); });
        conns_.push_back(std::move(k));
        if (onConnection)
            onConnection(c);
    }
}

void FaultServer::read(int c)
{
    Conn *k = conn(c);
    if (!k || !k->open || k->stalled)
        return;
    bool ended = false;
    for (;;) {
        char buf[16384];
        const ssize_t n = ::recv(k->fd, buf, sizeof buf, 0);
        if (n > 0) {
            k->pending.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    deliver(c);
    if (ended && k->open && !k->stalled)
        close(k, false);  // the station closed the connection (or it failed)
}

void FaultServer::deliver(int c)
{
    // The callback may stall, drop or reset this connection: look again after each frame.
    for (;;) {
        Conn *k = conn(c);
        if (!k || !k->open || k->stalled)
            return;
        const qsizetype eot = k->pending.indexOf('\x04');
        if (eot < 0)
            return;
        const QByteArray f = k->pending.left(eot + 1);
        k->pending.remove(0, eot + 1);
        k->frames << f;
        if (onFrame)
            onFrame(c, f);
    }
}

void FaultServer::send(int c, const QByteArray &bytes)
{
    Conn *k = conn(c);
    if (!k || !k->open)
        return;
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::send(k->fd, p, size_t(left), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;  // small amounts only: a full buffer or a reset connection ends it
        }
        p += n;
        left -= n;
    }
}

void FaultServer::drop(int c)
{
    if (Conn *k = conn(c); k && k->open)
        close(k, false);
}

void FaultServer::reset(int c)
{
    if (Conn *k = conn(c); k && k->open)
        close(k, true);
}

void FaultServer::stall(int c)
{
    Conn *k = conn(c);
    if (!k || !k->open)
        return;
    k->stalled = true;
    k->notifier->setEnabled(false);
}

void FaultServer::resume(int c)
{
    Conn *k = conn(c);
    if (!k || !k->open || !k->stalled)
        return;
    k->stalled = false;
    k->notifier->setEnabled(true);
    deliver(c);
    read(c);  // what arrived while stalled
}

void FaultServer::close(Conn *k, bool reset)
{
    if (k->fd >= 0) {
        k->notifier.reset();
        if (reset) {
            linger l {};
            l.l_onoff = 1;
            l.l_linger = 0;
            ::setsockopt(k->fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(k->fd);
    }
    k->fd = -1;
    k->open = false;
    k->stalled = false;
}

QByteArray FaultServer::frame(const QByteArray &command, const QByteArray &payload, const QByteArray &sender,
                              const QByteArray &tag)
{
    return '\x01' + command + tag + sender + '\x02' + payload + '\x04';
}
