// X11: the MIT-SCREEN-SAVER extension's Suspend request on the toolkit's own connection. While
// suspended the server starts neither the screen saver nor DPMS power saving; the server ends
// the suspension by itself when the connection closes, so a station that dies leaves nothing
// held.
#include "platform/ScreenAwakeParts.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QtDebug>

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace {

class X11SaverSuspend : public ScreenAwake
{
public:
    void inhibit(QWindow *) override
    {
        xcb_connection_t *c = connection();
        if (!c)
            return;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_screensaver_id);
        xcb_screensaver_query_version_reply_t *version = nullptr;
        if (ext && ext->present)
            version = xcb_screensaver_query_version_reply(c, xcb_screensaver_query_version(c, 1, 1), nullptr);
        // Suspend came with version 1.1.
        const bool usable = version && (version->server_major_version > 1
                                        || (version->server_major_version == 1 && version->server_minor_version >= 1));
        free(version);
        if (!usable) {
            qInfo("Screen saver: the X server has no MIT-SCREEN-SAVER 1.1; its screen saver is left as set");
            return;
        }
        xcb_screensaver_suspend(c, 1);
        xcb_flush(c);
        connection_ = c;
    }
    void release() override
    {
        if (!connection_)
            return;
        xcb_screensaver_suspend(connection_, 0);
        xcb_flush(connection_);
        connection_ = nullptr;
    }

private:
    static xcb_connection_t *connection()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        return x11 ? x11->connection() : nullptr;
    }

    xcb_connection_t *connection_ = nullptr;
};

} // namespace

std::unique_ptr<ScreenAwake> makeX11SaverSuspend()
{
    return std::make_unique<X11SaverSuspend>();
}
