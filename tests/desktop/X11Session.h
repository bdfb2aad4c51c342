#pragma once
// A client of the X display the tests run on: finds the windows of another
// process, reads their captions as the window manager sees them, and asks a
// window to close as a window manager does (WM_DELETE_WINDOW).
#include <cstdint>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace zelt::test {

class X11Session {
public:
    X11Session();
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    bool ok() const { return conn_ != nullptr; }

    struct Window {
        std::uint32_t id = 0;
        std::string title;  // _NET_WM_NAME (UTF-8), else WM_NAME
        bool viewable = false;
    };
    // The top-level windows that process pid has mapped.
    std::vector<Window> windowsOf(std::int64_t pid);

    // Sends WM_DELETE_WINDOW to the window: the close button of its frame.
    bool requestClose(std::uint32_t window);

private:
    std::uint32_t atom(const char* name);
    std::string textProperty(std::uint32_t window, std::uint32_t property);

    xcb_connection_t* conn_ = nullptr;
    std::uint32_t root_ = 0;
};

}  // namespace zelt::test
