// The link's sockets and wake-up event on Windows: Winsock, and an event object.
#include "platform/Socket.h"

#include <QWinEventNotifier>

#include <algorithm>
#include <cerrno>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/SocketParts.h"

namespace sock {

namespace {

SOCKET native(qintptr fd)
{
    return SOCKET(fd);
}

int waitFor(qintptr fd, short events, std::int64_t deadline)
{
    return parts::waitFor(fd, events, deadline, [](pollfd *p, int timeout) { return ::WSAPoll(p, 1, timeout); });
}

} // namespace

bool start()
{
    // Winsock must be started once before any of its calls.
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

const Errors kErrors {WSAEINTR, WSAETIMEDOUT, WSAECONNREFUSED};

int lastError()
{
    return ::WSAGetLastError();
}

QString errorText(int error)
{
    wchar_t *text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                         | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, DWORD(error), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString out = n > 0 && text ? QString::fromWCharArray(text, int(n)).trimmed()
                                : QStringLiteral("Socket error %1").arg(error);
    if (text)
        ::LocalFree(text);
    return out;
}

bool wouldBlock(int error)
{
    return error == WSAEWOULDBLOCK || error == EAGAIN || error == EWOULDBLOCK;
}

bool resolve(const QByteArray &host, quint16 port, std::vector<Address> &found, QString *errorText)
{
    return parts::resolve(host, port, found, errorText, [](int rc) { return sock::errorText(rc); });
}

qintptr open(const Address &address)
{
    const SOCKET s = ::WSASocketW(address.family, address.type, address.protocol, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return -1;
    u_long on = 1;
    if (::ioctlsocket(s, FIONBIO, &on) != 0) {
        ::closesocket(s);
        return -1;
    }
    return qintptr(s);
}

int startConnect(qintptr fd, const Address &address)
{
    const int r = ::connect(native(fd), reinterpret_cast<const sockaddr *>(address.bytes.constData()),
                            int(address.bytes.size()));
    return r == 0 ? 0 : ::WSAGetLastError();
}

bool connectPending(int error)
{
    // A non-blocking connect under way is told as WSAEWOULDBLOCK.
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool waitConnected(qintptr fd, std::int64_t deadline)
{
    // Winsock reports a failed connect in select()'s exception set, not through WSAPoll on
    // every version.
    for (;;) {
        const std::int64_t left = std::max<std::int64_t>(0, deadline - clockMs());
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(native(fd), &writable);
        FD_SET(native(fd), &failed);
        timeval tv {long(left / 1000), long((left % 1000) * 1000)};
        const int r = ::select(0, nullptr, &writable, &failed, &tv);
        if (r < 0 && ::WSAGetLastError() == WSAEINTR)
            continue;
        return r != 0;  // an error of select itself is taken up by the outcome
    }
}

int connectOutcome(qintptr fd)
{
    int e = 0;
    int len = sizeof e;
    if (::getsockopt(native(fd), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&e), &len) < 0)
        e = ::WSAGetLastError();
    return e;
}

bool connectFailsAsException()
{
    return true;
}

void setNoDelay(qintptr fd)
{
    const int one = 1;
    ::setsockopt(native(fd), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
}

qsizetype send(qintptr fd, const char *data, qsizetype size)
{
    return ::send(native(fd), data, int(std::min<qsizetype>(size, 1 << 30)), 0);
}

qsizetype receive(qintptr fd, char *data, qsizetype size)
{
    return ::recv(native(fd), data, int(size), 0);
}

Ready waitWritable(qintptr fd, std::int64_t deadline)
{
    return parts::writable(waitFor(fd, POLLOUT, deadline));
}

bool waitReadable(qintptr fd, const std::atomic<bool> &open)
{
    // WSAPoll is not woken by a local shutdown: the wait is sliced, and the close seen between
    // the slices.
    int ready = 0;
    while (ready == 0 && open.load(std::memory_order_acquire))
        ready = waitFor(fd, POLLIN, clockMs() + 50);
    return ready >= 0 && open.load(std::memory_order_acquire);
}

std::int64_t unacknowledgedBytes(qintptr)
{
    // Not told: a score the system has taken counts as delivered.
    return 0;
}

void shutdown(qintptr fd)
{
    ::shutdown(native(fd), SD_BOTH);
}

void reset(qintptr fd)
{
    // Winsock has no descriptor swap: the handle stays the caller's until it releases it, and
    // the zero linger resets the connection then.
    const linger now {1, 0};
    ::setsockopt(native(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&now), sizeof now);
}

void close(qintptr fd)
{
    ::closesocket(native(fd));
}

} // namespace sock

namespace wake {

qintptr create()
{
    // Auto-reset: the main thread's notifier consumes each setting of it, so a wake-up needs no
    // clearing, and one set while the main thread drains is never lost.
    return qintptr(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

void set(qintptr event)
{
    ::SetEvent(HANDLE(event));
}

void clear(qintptr event)
{
    ::ResetEvent(HANDLE(event));
}

void destroy(qintptr event)
{
    if (event != 0)
        ::CloseHandle(HANDLE(event));
}

QObject *watch(qintptr event, QObject *parent, std::function<void()> woken)
{
    // QSocketNotifier watches sockets only here.
    auto *notifier = new QWinEventNotifier(reinterpret_cast<Qt::HANDLE>(event), parent);
    QObject::connect(notifier, &QWinEventNotifier::activated, parent, [woken = std::move(woken)] { woken(); });
    return notifier;
}

} // namespace wake
