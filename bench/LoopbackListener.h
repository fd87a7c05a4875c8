#pragma once

// A benchmark's own event server end: a listening socket on 127.0.0.1 at a port the system
// chooses (POSIX sockets, as the benchmarks that use it are built on Linux only).

#include <cstdint>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

// Binds `fd` to 127.0.0.1 at a free port and listens; the port, or 0 on failure.
inline std::uint16_t listenOnLoopback(int fd)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length) != 0)
        return 0;
    return ntohs(a.sin_port);
}
