#include "platform/HostIdentity.h"

#include "platform/HostNative.h"

namespace {

class RealHostIdentity : public HostIdentity
{
public:
    QString hostName() override { return QString::fromLatin1(NativeHostName().c_str()); }
    QString firstIPv4() override { return QString::fromLatin1(NativeFirstIPv4(NativeHostName()).c_str()); }
};

} // namespace

std::shared_ptr<HostIdentity> makeRealHostIdentity()
{
    return std::make_shared<RealHostIdentity>();
}
