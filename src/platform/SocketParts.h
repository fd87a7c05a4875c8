#pragma once

// What reads alike in the sockets of every system (platform/Socket.h): for SocketPosix.cpp and
// SocketWindows.cpp only, each of which includes its system's socket headers before this one
// (addrinfo, pollfd and the POLL flags come from there).

#include "platform/Socket.h"

#include <algorithm>

namespace sock::parts {

// resolve(), with the system's text for a resolver's failure code.
template <typename TextOf>
bool resolve(const QByteArray &host, quint16 port, std::vector<Address> &found, QString *errorText, TextOf textOf)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *list = nullptr;
    const QByteArray service = QByteArray::number(port);
    const int rc = ::getaddrinfo(host.constData(), service.constData(), &hints, &list);
    if (rc != 0 || !list) {
        if (errorText)
            *errorText = textOf(rc);
        return false;
    }
    for (const addrinfo *a = list; a; a = a->ai_next)
        found.push_back(Address {a->ai_family, a->ai_socktype, a->ai_protocol,
                                 QByteArray(reinterpret_cast<const char *>(a->ai_addr), qsizetype(a->ai_addrlen))});
    ::freeaddrinfo(list);
    return true;
}

// Waits for `events` on `fd` until `deadline` (-1: no limit) with the system's poll of one
// socket, `poll(pollfd *, timeout)`. The revents, 0 when the time is up, -1 on a poll error.
template <typename Poll>
int waitFor(qintptr fd, short events, std::int64_t deadline, Poll poll)
{
    for (;;) {
        int timeout = -1;
        if (deadline >= 0)
            timeout = int(std::max<std::int64_t>(0, deadline - clockMs()));
        pollfd p {};
        p.fd = decltype(p.fd)(fd);
        p.events = events;
        const int r = poll(&p, timeout);
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (!interrupted(lastError()))
            return -1;
    }
}

// waitWritable() from the revents of a wait for POLLOUT.
inline Ready writable(int revents)
{
    if (revents == 0)
        return Ready::TimedOut;
    if (revents < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)))
        return Ready::Broken;
    return Ready::Yes;
}

} // namespace sock::parts
