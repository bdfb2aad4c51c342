#include "tests/desktop/X11Session.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace zelt::test {

X11Session::X11Session()
{
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(conn)) {
        xcb_disconnect(conn);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(conn);
        return;
    }
    conn_ = conn;
    root_ = it.data->root;
}

X11Session::~X11Session()
{
    if (conn_)
        xcb_disconnect(conn_);
}

std::uint32_t X11Session::atom(const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const std::uint32_t a = reply->atom;
    std::free(reply);
    return a;
}

std::string X11Session::textProperty(std::uint32_t window, std::uint32_t property)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096), nullptr);
    if (!reply)
        return {};
    std::string text(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

std::vector<X11Session::Window> X11Session::windowsOf(std::int64_t pid)
{
    std::vector<Window> found;
    if (!conn_)
        return found;
    const std::uint32_t netWmPid = atom("_NET_WM_PID");
    const std::uint32_t netWmName = atom("_NET_WM_NAME");
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root_), nullptr);
    if (!tree)
        return found;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int n = xcb_query_tree_children_length(tree);
    for (int i = 0; i < n; ++i) {
        const xcb_window_t w = children[i];
        xcb_get_property_reply_t* p = xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, w, netWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        const bool mine = p && xcb_get_property_value_length(p) == 4
                          && *static_cast<const std::uint32_t*>(xcb_get_property_value(p)) == static_cast<std::uint32_t>(pid);
        std::free(p);
        if (!mine)
            continue;
        Window win;
        win.id = w;
        win.title = textProperty(w, netWmName);
        if (win.title.empty())
            win.title = textProperty(w, XCB_ATOM_WM_NAME);
        xcb_get_window_attributes_reply_t* attrs =
            xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, w), nullptr);
        win.viewable = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attrs);
        found.push_back(win);
    }
    std::free(tree);
    return found;
}

bool X11Session::requestClose(std::uint32_t window)
{
    if (!conn_)
        return false;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Checked, so that the server has handled the request when this returns.
    xcb_generic_error_t* error = xcb_request_check(
        conn_, xcb_send_event_checked(conn_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event)));
    const bool sent = error == nullptr;
    std::free(error);
    return sent;
}

}  // namespace zelt::test
