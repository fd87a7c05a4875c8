#include "platform/ScreenAwake.h"

#include "platform/ScreenAwakeParts.h"

#include <vector>

namespace {

class RealScreenAwake : public ScreenAwake
{
public:
    RealScreenAwake()
    {
#ifdef MARLO_AWAKE_X11
        parts_.push_back(makeX11SaverSuspend());
#endif
#ifdef MARLO_AWAKE_DBUS
        parts_.push_back(makeDesktopSaverInhibit());
#endif
#ifdef MARLO_AWAKE_WAYLAND
        parts_.push_back(makeWaylandIdleInhibit());
#endif
#ifdef MARLO_AWAKE_WINDOWS
        parts_.push_back(makeWindowsExecutionState());
#endif
    }
    ~RealScreenAwake() override { release(); }

    void inhibit(QWindow *window) override
    {
        if (held_)
            return;
        held_ = true;
        for (const auto &p : parts_)
            p->inhibit(window);
    }
    void release() override
    {
        if (!held_)
            return;
        held_ = false;
        for (const auto &p : parts_)
            p->release();
    }

private:
    std::vector<std::unique_ptr<ScreenAwake>> parts_;
    bool held_ = false;
};

} // namespace

std::shared_ptr<ScreenAwake> makeRealScreenAwake()
{
    return std::make_shared<RealScreenAwake>();
}
