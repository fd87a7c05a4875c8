// Wayland: the idle-inhibit protocol on the main window's surface, where the compositor offers
// it. The compositor keeps the screen on (no blanking, no locking, no power saving) while that
// surface is visible. The surface goes when the window is hidden and a new one comes when it is
// shown again: the inhibitor follows it.
#include "platform/ScreenAwakeParts.h"

#include "idle-inhibit-unstable-v1-client-protocol.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>
#include <QtDebug>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <cstring>

namespace {

class WaylandIdleInhibit : public QObject, public ScreenAwake
{
public:
    ~WaylandIdleInhibit() override
    {
        release();
        if (manager_)
            zwp_idle_inhibit_manager_v1_destroy(manager_);
        if (queue_)
            wl_event_queue_destroy(queue_);
    }

    void inhibit(QWindow *window) override
    {
        if (!window || !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            return;
        QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
        display_ = native ? static_cast<wl_display *>(native->nativeResourceForIntegration("wl_display")) : nullptr;
        if (!display_ || !bindManager()) {
            qInfo("Screen saver: the compositor offers no idle inhibit; the screen is left to its settings");
            return;
        }
        window_ = window;
        window_->installEventFilter(this);
        follow();
    }

    void release() override
    {
        if (window_)
            window_->removeEventFilter(this);
        window_ = nullptr;
        drop();
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        // Qt's Wayland window gives up its surface when hidden and makes a new one when shown.
        if (e->type() == QEvent::Hide)
            drop();
        else if (e->type() == QEvent::Expose || e->type() == QEvent::Show)
            follow();
        return false;
    }

private:
    // The manager, bound once through a registry on a queue of the station's own, so that the
    // round trip dispatches nothing of the toolkit's.
    bool bindManager()
    {
        if (manager_)
            return true;
        if (!queue_)
            queue_ = wl_display_create_queue(display_);
        auto *wrapped = static_cast<wl_display *>(wl_proxy_create_wrapper(display_));
        if (!queue_ || !wrapped)
            return false;
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapped), queue_);
        wl_registry *registry = wl_display_get_registry(wrapped);
        wl_proxy_wrapper_destroy(wrapped);
        static const wl_registry_listener listener = {
            [](void *self, wl_registry *r, uint32_t name, const char *interface, uint32_t) {
                auto *me = static_cast<WaylandIdleInhibit *>(self);
                if (!me->manager_ && std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
                    me->manager_ = static_cast<zwp_idle_inhibit_manager_v1 *>(
                        wl_registry_bind(r, name, &zwp_idle_inhibit_manager_v1_interface, 1));
            },
            [](void *, wl_registry *, uint32_t) {},
        };
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip_queue(display_, queue_);
        wl_registry_destroy(registry);
        return manager_ != nullptr;
    }

    // An inhibitor on the window's surface as it is now.
    void follow()
    {
        if (!window_ || !manager_)
            return;
        auto *surface = static_cast<wl_surface *>(
            QGuiApplication::platformNativeInterface()->nativeResourceForWindow("surface", window_));
        if (surface == surface_ && inhibitor_)
            return;
        drop();
        if (!surface)
            return;
        inhibitor_ = zwp_idle_inhibit_manager_v1_create_inhibitor(manager_, surface);
        surface_ = surface;
        wl_display_flush(display_);
    }

    void drop()
    {
        if (inhibitor_) {
            zwp_idle_inhibitor_v1_destroy(inhibitor_);
            wl_display_flush(display_);
        }
        inhibitor_ = nullptr;
        surface_ = nullptr;
    }

    wl_display *display_ = nullptr;
    wl_event_queue *queue_ = nullptr;
    zwp_idle_inhibit_manager_v1 *manager_ = nullptr;
    zwp_idle_inhibitor_v1 *inhibitor_ = nullptr;
    wl_surface *surface_ = nullptr;
    QPointer<QWindow> window_;
};

} // namespace

std::unique_ptr<ScreenAwake> makeWaylandIdleInhibit()
{
    return std::make_unique<WaylandIdleInhibit>();
}

// The protocol's interface tables, generated as C by wayland-scanner and compiled here after
// the header above, which declares them extern "C".
// Its hidden-visibility mark comes after the header's plain declarations, and is let go.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
extern "C" {
#include "idle-inhibit-unstable-v1-protocol.c"
}
#pragma GCC diagnostic pop
