// Asking the X server for the monitors (RandR 1.5's monitor list, which
// also carries monitors that `xrandr --setmonitor` defines) and for the
// pointer, through GDK's own connection.
#include "monitors.h"

#include <X11/extensions/Xrandr.h>
#include <gdk/gdkx.h>

namespace qv::linuxshell {

namespace {

constexpr int kRandrMajor = 1;
constexpr int kMonitorsMinor = 5;  // RRGetMonitors came with RandR 1.5

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

// The root window's size in device pixels, asked of the server so that it
// is right after a RandR change whether or not Xlib's copy was updated.
ScreenRect RootRect(Display* x) {
    Window ignoredRoot = 0;
    int ix = 0, iy = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (XGetGeometry(x, DefaultRootWindow(x), &ignoredRoot, &ix, &iy, &w, &h, &border, &depth))
        return ScreenRect{0, 0, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
    return ScreenRect{0, 0, DisplayWidth(x, DefaultScreen(x)), DisplayHeight(x, DefaultScreen(x))};
}

bool HasMonitorList(Display* x) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XRRQueryExtension(x, &eventBase, &errorBase) && XRRQueryVersion(x, &major, &minor) &&
           (major > kRandrMajor || (major == kRandrMajor && minor >= kMonitorsMinor));
}

int randrEventBase = -1;
void (*onChange)() = nullptr;

GdkFilterReturn RandrFilter(GdkXEvent* xevent, GdkEvent*, gpointer) {
    const XEvent* ev = static_cast<const XEvent*>(xevent);
    if (randrEventBase >= 0 && ev->type == randrEventBase + RRScreenChangeNotify && onChange) onChange();
    return GDK_FILTER_CONTINUE;  // GDK updates its own view from it too
}

}  // namespace

void WatchMonitors(void (*changed)()) {
    Display* x = XDisplay();
    int errorBase = 0;
    if (onChange || !XRRQueryExtension(x, &randrEventBase, &errorBase)) return;
    onChange = changed;
    // The same selection GDK makes on the root (a new one replaces this
    // client's), so that its own RandR events keep coming.
    XRRSelectInput(x, DefaultRootWindow(x),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputPropertyNotifyMask);
    gdk_window_add_filter(nullptr, RandrFilter, nullptr);
}

std::vector<Monitor> QueryMonitors() {
    Display* x = XDisplay();
    std::vector<Monitor> layout;
    if (HasMonitorList(x)) {
        int count = 0;
        // RandR's geometry is in device pixels already: under a GDK scale the
        // overlay's logical position and size are these divided by it.
        if (XRRMonitorInfo* info = XRRGetMonitors(x, DefaultRootWindow(x), True, &count)) {
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo& m = info[i];
                // The name atom lasts as long as the server and follows the
                // monitor through a resize or a move.
                layout.push_back(Monitor{ScreenRect{m.x, m.y, m.x + m.width, m.y + m.height},
                                         static_cast<std::uint64_t>(m.name), m.primary != 0});
            }
            XRRFreeMonitors(info);
        }
    }
    bool any = false;
    for (const Monitor& m : layout) any = any || !m.rect.Empty();
    if (!any) layout.assign(1, Monitor{RootRect(x), 0, true});
    return layout;
}

std::optional<ScreenPoint> QueryPointer() {
    Display* x = XDisplay();
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mods = 0;
    if (!XQueryPointer(x, DefaultRootWindow(x), &root, &child, &rootX, &rootY, &winX, &winY, &mods))
        return std::nullopt;
    return ScreenPoint{rootX, rootY};
}

}  // namespace qv::linuxshell
