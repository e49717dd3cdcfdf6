// close-window [NAME]
// Asks the top-level window called NAME ("Quorvane Ledrow" by default) to close, the way a window
// manager's close button does: a WM_DELETE_WINDOW message. The end-to-end tests use it, since
// their displays have no window manager. Exits 0 when the request was sent, 1 when no window of
// that name exists, 2 when the display cannot be opened.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
bool HasName(Display* display, Window window, const std::string& wanted)
{
    XTextProperty property{};
    if (XGetWMName(display, window, &property) == 0 || property.value == nullptr)
        return false;
    const bool same = std::string(reinterpret_cast<const char*>(property.value), property.nitems) == wanted;
    XFree(property.value);
    return same;
}

Window FindByName(Display* display, Window parent, const std::string& wanted)
{
    if (HasName(display, parent, wanted))
        return parent;
    Window root = 0;
    Window parentOfParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &parentOfParent, &children, &count) == 0)
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
        found = FindByName(display, children[i], wanted);
    if (children != nullptr)
        XFree(children);
    return found;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string name = argc > 1 ? argv[1] : "Quorvane Ledrow";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "close-window: cannot open the display\n");
        return 2;
    }
    const Window window = FindByName(display, DefaultRootWindow(display), name);
    if (window == 0)
    {
        std::fprintf(stderr, "close-window: no window named \"%s\"\n", name.c_str());
        XCloseDisplay(display);
        return 1;
    }
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
