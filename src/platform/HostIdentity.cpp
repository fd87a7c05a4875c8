#include "platform/HostIdentity.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

class RealHostIdentity : public HostIdentity
{
public:
    QString hostName() override
    {
        char buf[256] = {};
        if (gethostname(buf, sizeof buf - 1) != 0)
            return QString();
        return QString::fromLatin1(buf);
    }

    QString firstIPv4() override
    {
        const QByteArray name = hostName().toLatin1();
        addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *res = nullptr;
        if (getaddrinfo(name.constData(), nullptr, &hints, &res) != 0 || !res)
            return QString();
        QString out;
        for (addrinfo *a = res; a; a = a->ai_next) {
            if (a->ai_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            const auto *sin = reinterpret_cast<const sockaddr_in *>(a->ai_addr);
            if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) {
                out = QString::fromLatin1(text);
                break;
            }
        }
        freeaddrinfo(res);
        return out;
    }
};

} // namespace

std::shared_ptr<HostIdentity> makeRealHostIdentity()
{
    return std::make_shared<RealHostIdentity>();
}
