#include "platform/WindowSystem.h"

#include <QGuiApplication>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif
#ifdef _WIN32
#include <QAbstractNativeEventFilter>
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// The end of the Windows session: the toolkit answers WM_QUERYENDSESSION with the session
// manager's request to save; WM_ENDSESSION is the last word before the process is ended, so
// the handler runs there, while the message is handled.
class EndSessionFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    EndSessionFilter(QObject *context, const std::function<void()> &handler) : QObject(context), handler_(handler)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~EndSessionFilter() override
    {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override
    {
        if (type != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<MSG *>(message);
        if (msg->message != WM_ENDSESSION || msg->wParam == FALSE)
            return false;
        handler_();
        if (result)
            *result = 0;
        return true;
    }

private:
    std::function<void()> handler_;
};
#endif

} // namespace

WindowSystem WindowSystem::current()
{
    return WindowSystem(QGuiApplication::platformName());
}

bool WindowSystem::isWayland() const
{
    return name_.startsWith(QLatin1String("wayland"));
}

bool WindowSystem::maximises() const
{
    return name_ == QLatin1String("xcb") || isWayland() || name_ == QLatin1String("windows")
           || name_ == QLatin1String("cocoa");
}

NativeKeys WindowSystem::nativeKeys() const
{
    return nativeKeysOf(name_);
}

void WindowSystem::onSessionEnd(QObject *context, const std::function<void()> &handler)
{
#ifdef _WIN32
    new EndSessionFilter(context, handler);
#endif
#if QT_CONFIG(sessionmanager)
    // Direct: the handler must be done before the session manager is answered.
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, context, [handler](QSessionManager &) { handler(); },
                     Qt::DirectConnection);
#else
    Q_UNUSED(context);
    Q_UNUSED(handler);
#endif
}
