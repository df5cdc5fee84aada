// The desktop around the program: the window manager's hints (work area,
// frame extents) for placing the panel, and the root's stacking order for
// keeping the overlay between the panel and everything else. A manager may
// restack its frames at any time (XRestackWindows moves every frame it
// lists, and the override-redirect overlay is not among them), so the order
// is checked again whenever the root's children change.
#include "desk.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <vector>

#include "app_state.h"
#include "desk_placement.h"
#include "stacking_plan.h"

namespace qv::linuxshell {

namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

Window XidOf(GtkWidget* widget) {
    GdkWindow* w = widget ? gtk_widget_get_window(widget) : nullptr;
    return w ? gdk_x11_window_get_xid(w) : 0;
}

Atom AtomNamed(const char* name) {
    return gdk_x11_get_xatom_by_name_for_display(gdk_display_get_default(), name);
}

// A CARDINAL list property; empty when absent or of another kind.
std::vector<long> ReadCardinals(Window w, const char* property) {
    std::vector<long> values;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    constexpr long kMaxLongs = 4096;
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    const int status = XGetWindowProperty(XDisplay(), w, AtomNamed(property), 0, kMaxLongs, False,
                                          XA_CARDINAL, &type, &format, &count, &after, &data);
    gdk_x11_display_error_trap_pop_ignored(display);
    if (status == Success && data && type == XA_CARDINAL && format == 32) {
        const long* longs = reinterpret_cast<const long*>(data);  // format 32 arrives as longs
        values.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return values;
}

// The root's child holding w: w itself, or the frame a manager put it in.
Window TopLevelOf(Window w) {
    Display* x = XDisplay();
    const Window root = DefaultRootWindow(x);
    for (int depth = 0; w && depth < 16; ++depth) {
        Window r = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x, w, &r, &parent, &children, &count)) return 0;
        if (children) XFree(children);
        if (parent == root) return w;
        w = parent;
    }
    return 0;
}

void StackOverlayBelow(Window sibling) {
    XWindowChanges change{};
    change.sibling = sibling;
    change.stack_mode = Below;
    XConfigureWindow(XDisplay(), XidOf(overlayLayer.window), CWSibling | CWStackMode, &change);
}

void CheckStacking() {
    const Window overlay = XidOf(overlayLayer.window), panel = XidOf(panelWindow.window);
    if (!overlayLayer.mapped || !overlay || !panel) return;
    Display* x = XDisplay();
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    desk.panelTop = TopLevelOf(panel);
    Window r = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (desk.panelTop && XQueryTree(x, DefaultRootWindow(x), &r, &parent, &children, &count)) {
        std::vector<StackEntry> entries(count);
        bool reached = false;  // only windows from the lower of the two up matter
        for (unsigned i = 0; i < count; ++i) {
            entries[i].window = children[i];
            reached = reached || children[i] == overlay || children[i] == desk.panelTop;
            const bool panelTop = children[i] == desk.panelTop;
            XWindowAttributes a{};
            entries[i].viewable =
                reached && XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable;
            if (panelTop) desk.panelShown = entries[i].viewable;
        }
        // A manager that keeps windows above others keeps the panel there;
        // with none, nothing else will raise it.
        const bool managerKeepsAbove = gdk_x11_screen_supports_net_wm_hint(
            gdk_screen_get_default(), gdk_atom_intern_static_string("_NET_WM_STATE_ABOVE"));
        const StackingPlan plan = PlanStacking(entries, overlay, desk.panelTop, !managerKeepsAbove);
        if (plan.raisePanel) XRaiseWindow(x, desk.panelTop);
        if (plan.raiseOverlay) XRaiseWindow(x, overlay);
        if (plan.overlayBelowPanel) StackOverlayBelow(desk.panelTop);
        // HACK: a compositor may not repaint what a restack uncovers
        // (xfwm4's keeps the lines it last drew there); the panel's own
        // repaint puts its face back.
        if (plan.repaintPanel) gtk_widget_queue_draw(panelWindow.window);
    }
    if (children) XFree(children);
    gdk_x11_display_error_trap_pop_ignored(display);
}

gboolean OnStackingIdle(gpointer) {
    desk.stackingIdle = 0;
    CheckStacking();
    return G_SOURCE_REMOVE;
}

// An event that only the root's SubstructureNotify brings: asked for here,
// not by GDK, which must not see it (given the root's copies about its own
// windows, it left the overlay a quarter of the screen under GDK_SCALE=2).
bool AboutARootChild(const XEvent& ev, Window root) {
    switch (ev.type) {
        case ConfigureNotify:
            return ev.xconfigure.event == root && ev.xconfigure.window != root;
        case MapNotify:
            return ev.xmap.event == root && ev.xmap.window != root;
        case UnmapNotify:
            return ev.xunmap.event == root && ev.xunmap.window != root;
        case CirculateNotify:
            return ev.xcirculate.event == root && ev.xcirculate.window != root;
        case ReparentNotify:
            return ev.xreparent.event == root && ev.xreparent.window != root;
        case CreateNotify:
            return ev.xcreatewindow.parent == root;
        case DestroyNotify:
            return ev.xdestroywindow.event == root && ev.xdestroywindow.window != root;
        case GravityNotify:
            return ev.xgravity.event == root && ev.xgravity.window != root;
        default:
            return false;
    }
}

GdkFilterReturn DeskFilter(GdkXEvent* xevent, GdkEvent*, gpointer) {
    const XEvent* ev = static_cast<const XEvent*>(xevent);
    const Window root = DefaultRootWindow(XDisplay());
    const Window panel = XidOf(panelWindow.window);
    if (ev->type == PropertyNotify) {
        const Atom a = ev->xproperty.atom;
        if ((ev->xproperty.window == root &&
             (a == AtomNamed("_NET_WORKAREA") || a == AtomNamed("_NET_CURRENT_DESKTOP"))) ||
            (panel && ev->xproperty.window == panel && a == AtomNamed("_NET_FRAME_EXTENTS")))
            PlacePanel(false);
        return GDK_FILTER_CONTINUE;
    }
    if (!AboutARootChild(*ev, root)) return GDK_FILTER_CONTINUE;
    switch (ev->type) {
        case ConfigureNotify:
            // The overlay's own restacking after each frame needs no check.
            if (ev->xconfigure.window != XidOf(overlayLayer.window)) ScheduleStackingCheck();
            break;
        case MapNotify:
        case UnmapNotify:
        case CirculateNotify:
            ScheduleStackingCheck();
            break;
        case ReparentNotify:
            if (panel && ev->xreparent.window == panel) {
                desk.panelTop = 0;
                ScheduleStackingCheck();
            }
            break;
        default:
            break;
    }
    return desk.gdkWatchesRootChildren ? GDK_FILTER_CONTINUE : GDK_FILTER_REMOVE;
}

}  // namespace

void StartDeskWatch() {
    GdkWindow* root = gdk_get_default_root_window();
    const GdkEventMask before = gdk_window_get_events(root);
    desk.gdkWatchesRootChildren = (before & GDK_SUBSTRUCTURE_MASK) != 0;
    gdk_window_set_events(
        root, static_cast<GdkEventMask>(before | GDK_SUBSTRUCTURE_MASK | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(nullptr, DeskFilter, nullptr);
}

void RequestPanelFrameExtents() {
    const Window panel = XidOf(panelWindow.window);
    if (!panel) return;
    Display* x = XDisplay();
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = panel;
    ev.xclient.message_type = AtomNamed("_NET_REQUEST_FRAME_EXTENTS");
    ev.xclient.format = 32;
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

void PlacePanel(bool force) {
    GdkWindow* gw = panelWindow.window ? gtk_widget_get_window(panelWindow.window) : nullptr;
    if (!gw) return;
    Display* x = XDisplay();
    const Window root = DefaultRootWindow(x), panel = gdk_x11_window_get_xid(gw);
    // The primary's own corner: the work area of a desktop spans every
    // monitor, and its corner may lie on another or on none.
    const std::size_t primary = PrimaryMonitor(overlayLayer.monitors);
    const ScreenRect p = primary == kNoMonitor ? ScreenRect{0, 0, overlayLayer.width, overlayLayer.height}
                                               : overlayLayer.monitors[primary].rect;
    const Box screen{p.left, p.top, p.Width(), p.Height()};
    const std::vector<long> desktop = ReadCardinals(root, "_NET_CURRENT_DESKTOP");
    const Box area =
        WorkAreaFrom(ReadCardinals(root, "_NET_WORKAREA"), desktop.empty() ? 0 : desktop[0], screen);
    const FrameExtents extents =
        FrameExtentsFrom(ReadCardinals(panel, "_NET_FRAME_EXTENTS")).value_or(FrameExtents{});
    if (!force && desk.placed && area == desk.placedArea && extents == desk.placedExtents) return;

    Window ignoredRoot = 0;
    int ix = 0, iy = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (!XGetGeometry(x, panel, &ignoredRoot, &ix, &iy, &w, &h, &border, &depth)) return;
    const Point corner =
        BottomRightFramePosition(area, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), extents);
    // North-west gravity: the position is the frame's, decorations
    // included, under a manager as without one. GTK's positions are in
    // logical pixels; rounding down keeps the frame inside.
    const int scale = std::max(1, gdk_window_get_scale_factor(gw));
    gtk_window_set_gravity(GTK_WINDOW(panelWindow.window), GDK_GRAVITY_NORTH_WEST);
    gtk_window_move(GTK_WINDOW(panelWindow.window), corner.x / scale, corner.y / scale);
    desk.placed = true;
    desk.placedArea = area;
    desk.placedExtents = extents;
}

void KeepOverlayBelowPanel() {
    if (!overlayLayer.mapped) return;
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);  // the frame may be gone: the next check finds the new one
    // Found before the overlay is first shown, so that it is never raised
    // above the panel: a compositor that does not repaint on a restack
    // would keep showing lines on the panel after it went back below.
    if (!desk.panelTop) desk.panelTop = TopLevelOf(XidOf(panelWindow.window));
    if (desk.panelTop && desk.panelShown)
        StackOverlayBelow(desk.panelTop);
    else if (GdkWindow* w = gtk_widget_get_window(overlayLayer.window))
        gdk_window_raise(w);
    gdk_x11_display_error_trap_pop_ignored(display);
}

void ScheduleStackingCheck() {
    if (!desk.stackingIdle) desk.stackingIdle = g_idle_add(OnStackingIdle, nullptr);
}

}  // namespace qv::linuxshell
