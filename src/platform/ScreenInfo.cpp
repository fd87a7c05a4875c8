#include "platform/ScreenInfo.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

class RealScreenInfo : public ScreenInfo
{
public:
    RealScreenInfo()
    {
        watch(QGuiApplication::primaryScreen());
        connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen *s) {
            watch(s);
            emit geometryChanged();
        });
    }

    QRect screenGeometry() const override
    {
        QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->geometry() : QRect(0, 0, 1218, 805);
    }

    QRect availableGeometry() const override
    {
        QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->availableGeometry() : screenGeometry();
    }

private:
    void watch(QScreen *s)
    {
        if (watched_)
            disconnect(watched_, nullptr, this, nullptr);
        watched_ = s;
        if (s) {
            connect(s, &QScreen::geometryChanged, this, &ScreenInfo::geometryChanged);
            connect(s, &QScreen::availableGeometryChanged, this, &ScreenInfo::geometryChanged);
        }
    }
    QScreen *watched_ = nullptr;
};

} // namespace

std::shared_ptr<ScreenInfo> makeRealScreenInfo()
{
    return std::make_shared<RealScreenInfo>();
}
