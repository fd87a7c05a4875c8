// The desktop's screen-saver inhibit service on the session bus (GNOME, KDE, Xfce and others,
// under X11 and Wayland alike). The desktop drops the inhibit by itself when the station
// leaves the bus.
#include "platform/ScreenAwakeParts.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QGuiApplication>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
// A desktop that does not answer in time cannot hold up the station's start.
constexpr int kCallTimeoutMs = 2000;

class DesktopSaverInhibit : public ScreenAwake
{
public:
    void inhibit(QWindow *) override
    {
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            return;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            qInfo("Screen saver: no session bus, so no desktop inhibit");
            return;
        }
        const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(kService);
        if (!registered.isValid() || !registered.value()) {
            qInfo("Screen saver: the desktop offers no %s", qPrintable(kService));
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Inhibit"));
        call << QStringLiteral("Marlo DV") << QStringLiteral("A judge is scoring");
        const QDBusReply<uint> cookie = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (!cookie.isValid()) {
            qInfo("Screen saver: the desktop refused the inhibit: %s", qPrintable(cookie.error().message()));
            return;
        }
        cookie_ = cookie.value();
        held_ = true;
    }
    void release() override
    {
        if (!held_)
            return;
        held_ = false;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("UnInhibit"));
        call << cookie_;
        QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    }

private:
    uint cookie_ = 0;
    bool held_ = false;
};

} // namespace

std::unique_ptr<ScreenAwake> makeDesktopSaverInhibit()
{
    return std::make_unique<DesktopSaverInhibit>();
}
