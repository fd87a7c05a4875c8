#pragma once

#include <QString>
#include <memory>

// The host's own name and the first IPv4 address that name resolves to.
class HostIdentity
{
public:
    virtual ~HostIdentity() = default;
    virtual QString hostName() = 0;
    // Dotted decimal; empty when the name does not resolve to an IPv4 address.
    virtual QString firstIPv4() = 0;
};

std::shared_ptr<HostIdentity> makeRealHostIdentity();
