#include "platform/ScreenInfo.h"

#include <QGuiApplication>
#include <QScreen>
#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// A display change (WM_DISPLAYCHANGE: resolution, a tablet turned) reported to the station
// as a screen change, once the toolkit has taken in the new geometry (the message's own
// handling comes after the filter, so the signal is queued).
class DisplayChangeFilter : public QAbstractNativeEventFilter
{
public:
    explicit DisplayChangeFilter(ScreenInfo &info) : info_(info) {}
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type == "windows_generic_MSG" && static_cast<MSG *>(message)->message == WM_DISPLAYCHANGE)
            QTimer::singleShot(0, &info_, [this] { emit info_.geometryChanged(); });
        return false;
    }

private:
    ScreenInfo &info_;
};
#endif

class RealScreenInfo : public ScreenInfo
{
public:
    ~RealScreenInfo() override
    {
#ifdef Q_OS_WIN
        if (qGuiApp)
            qGuiApp->removeNativeEventFilter(&displayChange_);
#endif
    }

    RealScreenInfo()
    {
#ifdef Q_OS_WIN
        qGuiApp->installNativeEventFilter(&displayChange_);
#endif
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
#ifdef Q_OS_WIN
    DisplayChangeFilter displayChange_ {*this};
#endif
};

} // namespace

std::shared_ptr<ScreenInfo> makeRealScreenInfo()
{
    return std::make_shared<RealScreenInfo>();
}
