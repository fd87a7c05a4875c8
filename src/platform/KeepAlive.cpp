#include "platform/KeepAlive.h"

#include <algorithm>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#ifndef TCP_MAXRT
#define TCP_MAXRT 5
#endif
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

bool EnableKeepAlive(qintptr descriptor, int deadSeconds)
{
    if (descriptor < 0 || deadSeconds < 3)
        return false;
    // Idle for a third of the time, then probes that use up the rest.
    const int idle = deadSeconds / 3;
#ifdef _WIN32
    // Windows sends ten probes (not settable before Windows 10): one a second after the idle
    // time keeps within the limit for 10 s or more of it.
    const SOCKET s = SOCKET(descriptor);
    tcp_keepalive values{};
    values.onoff = 1;
    values.keepalivetime = ULONG(idle * 1000);
    values.keepaliveinterval = ULONG(std::max(1, (deadSeconds - idle) / 10) * 1000);
    DWORD returned = 0;
    bool ok = ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr) == 0;
    const DWORD maxRetransmit = DWORD(deadSeconds);
    ok = ::setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char *>(&maxRetransmit), sizeof maxRetransmit) == 0
         && ok;
    return ok;
#else
    const int fd = int(descriptor);
    const int on = 1;
    const int count = 3;
    const int interval = std::max(1, (deadSeconds - idle) / (count + 1));
    // Unacknowledged data, and failed probes, end the connection once the probes would have
    // run out: Linux closes at the first keep-alive check after this time, not before.
    const unsigned userTimeout = unsigned(idle + count * interval) * 1000;
    bool ok = ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0;
    ok = ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 && ok;
    ok = ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 && ok;
    ok = ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0 && ok;
    ok = ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout) == 0 && ok;
    return ok;
#endif
}
