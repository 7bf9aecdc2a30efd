// What the X server and its window manager tell about a top-level window's frame and the
// screen's work area, in device pixels. Every query answers "unknown" (nullopt) rather than fail.
#pragma once

#include <xcb/xcb.h>

#include <QMargins>
#include <QPoint>
#include <QRect>

#include <optional>

namespace velmor::x11 {

// The window's own rectangle in root coordinates, its root window and the root's rectangle.
struct Placed {
    QRect rect;
    xcb_window_t root = XCB_NONE;
    QRect rootRect;
};
std::optional<Placed> WindowOnScreen(xcb_connection_t* connection, xcb_window_t window);

// The borders (left, top, right, bottom) that the window manager will draw around the window,
// asked for before it is mapped. Known only where the window manager answers the request within
// a fraction of a second; waits for that answer (a property change), not for a fixed time.
std::optional<QMargins> FrameExtentsBeforeMapping(xcb_connection_t* connection,
                                                  xcb_window_t window);

// The window's frame as the user sees it, once the window is mapped: the window grown by the
// borders the window manager announces, else its outermost ancestor below the root.
std::optional<QRect> FrameOnScreen(xcb_connection_t* connection, xcb_window_t window);

// The current desktop's work area (the root without the panels), where the window manager
// publishes one.
std::optional<QRect> WorkArea(xcb_connection_t* connection, xcb_window_t root);

// Puts the frame's top-left corner on the given pixel of the root: the window's gravity is
// north-west, so the window manager takes the position for its frame's.
void MoveFrameTo(xcb_connection_t* connection, xcb_window_t window, QPoint pixel);

}  // namespace velmor::x11
