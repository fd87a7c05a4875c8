// Windows: the main thread's execution state asks for the display and the system to stay on
// until it is set back; Windows clears it when the process ends.
#include "platform/ScreenAwakeParts.h"

#include <windows.h>

namespace {

class WindowsExecutionState : public ScreenAwake
{
public:
    void inhibit(QWindow *) override { SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED); }
    void release() override { SetThreadExecutionState(ES_CONTINUOUS); }
};

} // namespace

std::unique_ptr<ScreenAwake> makeWindowsExecutionState()
{
    return std::make_unique<WindowsExecutionState>();
}
