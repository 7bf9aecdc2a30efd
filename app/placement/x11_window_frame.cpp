#include "x11_window_frame.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace velmor::x11 {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
std::unique_ptr<T, FreeReply> Take(T* reply) {
    return std::unique_ptr<T, FreeReply>(reply);
}

// XCB_ATOM_NONE where no client has ever named the atom (so no window manager uses it).
xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    const auto reply = Take(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a property of the given type; empty when it is not set.
std::vector<uint32_t> Values(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                             xcb_atom_t type = XCB_ATOM_CARDINAL) {
    if (property == XCB_ATOM_NONE) return {};
    const auto reply = Take(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr));
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// _NET_FRAME_EXTENTS holds left, right, top, bottom.
std::optional<QMargins> FrameExtents(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom) {
    const std::vector<uint32_t> v = Values(c, window, atom);
    if (v.size() != 4) return std::nullopt;
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

// Waits for the window's PROPERTY to change, for at most the given time.
bool PropertyChanges(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                     std::chrono::milliseconds patience) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + patience;
    pollfd readable{xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        while (const auto event = Take(xcb_poll_for_event(c))) {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && change->window == window &&
                change->atom == property)
                return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (xcb_connection_has_error(c) || left.count() <= 0) return false;
        poll(&readable, 1, int(left.count()));
    }
}

}  // namespace

std::optional<Placed> WindowOnScreen(xcb_connection_t* c, xcb_window_t window) {
    const auto geometry = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!geometry) return std::nullopt;
    const auto origin = Take(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, geometry->root, 0, 0), nullptr));
    const auto root = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, geometry->root), nullptr));
    if (!origin || !root) return std::nullopt;
    return Placed{QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height),
                  geometry->root, QRect(0, 0, root->width, root->height)};
}

std::optional<QMargins> FrameExtentsBeforeMapping(xcb_connection_t* qt, xcb_window_t window) {
    // A connection of its own receives the answer: Qt's event thread reads everything that
    // arrives on Qt's.
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> own(
        xcb_connect(nullptr, nullptr), &xcb_disconnect);
    xcb_connection_t* c = own.get();
    if (xcb_connection_has_error(c)) return std::nullopt;
    const std::optional<Placed> placed = WindowOnScreen(c, window);  // none on another display
    const xcb_atom_t request = Atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = Atom(c, "_NET_FRAME_EXTENTS");
    if (!placed || request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE) return std::nullopt;
    const std::vector<uint32_t> supported =
        Values(c, placed->root, Atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (std::ranges::find(supported, request) == supported.end()) return std::nullopt;

    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    // The borders depend on the window's type and hints: Qt's requests that set them are
    // carried out before the window manager is asked.
    Take(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(c, 0, placed->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    // A window manager answers at once; one that claims the request but is busy or silent
    // costs the user no more than this before the window shows.
    if (!PropertyChanges(c, window, extents, std::chrono::milliseconds(250))) return std::nullopt;
    return FrameExtents(c, window, extents);
}

std::optional<QRect> FrameOnScreen(xcb_connection_t* c, xcb_window_t window) {
    const std::optional<Placed> placed = WindowOnScreen(c, window);
    if (!placed) return std::nullopt;
    if (const auto extents = FrameExtents(c, window, Atom(c, "_NET_FRAME_EXTENTS")))
        return placed->rect.marginsAdded(*extents);
    // No announced borders: the frame is the window manager's window that holds this one.
    xcb_window_t outer = window;
    for (;;) {
        const auto tree = Take(xcb_query_tree_reply(c, xcb_query_tree(c, outer), nullptr));
        if (!tree) return std::nullopt;
        if (tree->parent == placed->root || tree->parent == XCB_NONE) break;
        outer = tree->parent;
    }
    const auto frame = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, outer), nullptr));
    if (!frame) return std::nullopt;
    const int border = 2 * frame->border_width;
    return QRect(frame->x, frame->y, frame->width + border, frame->height + border);
}

std::optional<QRect> WorkArea(xcb_connection_t* c, xcb_window_t root) {
    const std::vector<uint32_t> desktop = Values(c, root, Atom(c, "_NET_CURRENT_DESKTOP"));
    const std::vector<uint32_t> areas = Values(c, root, Atom(c, "_NET_WORKAREA"));
    size_t first = desktop.empty() ? 0 : 4 * size_t(desktop.front());
    if (first + 4 > areas.size()) first = 0;
    if (areas.size() < 4) return std::nullopt;
    const QRect area{int(areas[first]), int(areas[first + 1]), int(areas[first + 2]),
                     int(areas[first + 3])};
    return area.isEmpty() ? std::nullopt : std::optional<QRect>(area);
}

void MoveFrameTo(xcb_connection_t* c, xcb_window_t window, QPoint pixel) {
    const uint32_t xy[] = {uint32_t(pixel.x()), uint32_t(pixel.y())};
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    xcb_flush(c);
}

}  // namespace velmor::x11
