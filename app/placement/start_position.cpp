#include "start_position.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "frame_fit.h"

#if QT_CONFIG(xcb)
#include "x11_window_frame.h"
#endif

namespace velmor {

namespace {

#if QT_CONFIG(xcb)

xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

QRect InDevicePixels(const QRect& rect, const QScreen& screen) {
    return velmor::InDevicePixels(rect, screen.geometry().topLeft(), screen.devicePixelRatio());
}

// The work area of the window's screen, in device pixels: the window manager's, else Qt's.
QRect WorkArea(xcb_connection_t* c, const x11::Placed& placed, const QScreen* screen) {
    QRect monitor = placed.rootRect;
    if (screen != nullptr) monitor &= InDevicePixels(screen->geometry(), *screen);
    const QRect desk =
        x11::WorkArea(c, placed.root)
            .value_or(screen != nullptr ? InDevicePixels(screen->availableGeometry(), *screen)
                                        : monitor);
    const QRect area = desk & monitor;
    return area.isEmpty() ? monitor : area;
}

// Once the window shows, its frame is what the window manager drew: where that frame does not
// fit the work area after all, the window moves once.
class FitWhenShown : public QObject {
  public:
    explicit FitWhenShown(QWidget& window) : QObject(&window), window_(window) {
        window.windowHandle()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && window_.windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            Fit();
            deleteLater();
        }
        return false;
    }

  private:
    void Fit() const {
        xcb_connection_t* c = X11Connection();
        const auto id = xcb_window_t(window_.winId());
        const auto placed = x11::WindowOnScreen(c, id);
        const auto frame = x11::FrameOnScreen(c, id);
        if (!placed || !frame) return;
        const QPoint place = FitFrameIntoWorkArea(*frame, WorkArea(c, *placed, window_.screen()));
        if (place != frame->topLeft()) x11::MoveFrameTo(c, id, place);
    }
    QWidget& window_;
};

#endif

}  // namespace

void PlaceWithinReach(QWidget& window, QPoint pixel) {
    const qreal ratio = window.screen() != nullptr ? window.screen()->devicePixelRatio() : 1.0;
    window.move((QPointF(pixel) / ratio).toPoint());
#if QT_CONFIG(xcb)
    xcb_connection_t* c = X11Connection();
    if (c == nullptr) return;
    // The native window exists from here on, still unmapped.
    const auto id = xcb_window_t(window.winId());
    if (const auto placed = x11::WindowOnScreen(c, id)) {
        const QMargins borders = x11::FrameExtentsBeforeMapping(c, id).value_or(QMargins());
        const QRect frame(pixel, placed->rect.size().grownBy(borders));
        pixel = FitFrameIntoWorkArea(frame, WorkArea(c, *placed, window.screen()));
    }
    // X takes the position in pixels, where Qt's scaled units miss odd pixels at a factor of 2.
    // Moving the widget again would also make Qt take the position for the inside's, not the
    // frame's; Qt learns the new one from the server.
    x11::MoveFrameTo(c, id, pixel);
    new FitWhenShown(window);
#endif
}

}  // namespace velmor
