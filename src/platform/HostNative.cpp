#include "platform/HostNative.h"

#include "platform/Socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

std::string NativeHostName()
{
    if (!sock::start())
        return std::string();
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0)
        return std::string();
    return std::string(buf);
}

std::string NativeFirstIPv4(const std::string &name)
{
    if (!sock::start() || name.empty())
        return std::string();
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *res = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res)
        return std::string();
    std::string out;
    for (addrinfo *a = res; a; a = a->ai_next) {
        if (a->ai_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto *sin = reinterpret_cast<const sockaddr_in *>(a->ai_addr);
        if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) {
            out = text;
            break;
        }
    }
    freeaddrinfo(res);
    return out;
}
