#include "single_instance.h"

#include <gdk/gdkx.h>

#include <gtk/gtk.h>
#include <unistd.h>

#include <string>

#include "app_state.h"
#include "overlay.h"
#include "panel_window.h"
#include "state_report.h"

namespace qv::linuxshell {

namespace {

constexpr int kClaimAttempts = 2;  // the owner may go away between finding and asking it

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

// Asks the owner to present itself. False when it had gone away.
bool AskOwner(Display* x, Window owner) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = owner;
    ev.xclient.message_type = singleInstance.presentMessage;
    ev.xclient.format = 32;
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    XSendEvent(x, owner, False, NoEventMask, &ev);
    XSync(x, False);
    return gdk_x11_display_error_trap_pop(display) == 0;
}

void PublishState() {
    StateReport r;
    const EffectSettings& s = settings;
    r.Add("pid", static_cast<std::int64_t>(getpid()));
    r.Add("width", overlayLayer.width);
    r.Add("height", overlayLayer.height);
    const ScreenRect& covered = overlayLayer.monitor.rect;
    r.Add("overlayRect", std::to_string(covered.left) + "," + std::to_string(covered.top) + "," +
                             std::to_string(covered.Width()) + "," + std::to_string(covered.Height()));
    r.Add("monitors", static_cast<std::int64_t>(overlayLayer.monitors.size()));
    r.Add("centerX", s.centerX);
    r.Add("centerY", s.centerY);
    r.Add("density", s.density);
    r.Add("thickness", s.thickness);
    r.Add("space", s.space);
    r.Add("ratio", s.ratio);
    r.Add("red", s.red);
    r.Add("green", s.green);
    r.Add("blue", s.blue);
    r.Add("alpha", s.alpha);
    r.Add("densityJitter", s.densityJitter);
    r.Add("thicknessJitter", s.thicknessJitter);
    r.Add("spaceJitter", s.spaceJitter);
    r.Add("alphaJitter", s.alphaJitter);
    r.Add("blurLevel", s.blurLevel);
    for (int i = 0; i < kJitterPercentCount; ++i)
        r.Add("jitterPercent" + std::to_string(i), overlayLayer.random.jitterPercent[static_cast<std::size_t>(i)]);
    r.Add("seed", overlayLayer.random.storedSeed);
    r.Add("constantAlpha", overlayLayer.constantAlpha);
    r.Add("overlayVisible", overlayLayer.overlayVisible);
    r.Add("composited", overlayLayer.composited ? 1 : 0);
    r.Add("mapped", overlayLayer.mapped ? 1 : 0);
    r.Add("notice", overlayLayer.notice ? 1 : 0);
    if (GdkWindow* w = overlayLayer.window ? gtk_widget_get_window(overlayLayer.window) : nullptr)
        r.Add("overlayWindow", static_cast<std::int64_t>(gdk_x11_window_get_xid(w)));
    r.Add("frames", static_cast<std::int64_t>(overlayLayer.frames));
    r.Add("newPatterns", static_cast<std::int64_t>(overlayLayer.newPatterns));
    r.Add("dragFrames", static_cast<std::int64_t>(overlayLayer.dragFrames));
    r.Add("ctrlLatch", rawInput.ctrlLatch);
    r.Add("rawInput", rawInput.xiOpcode >= 0 ? 1 : 0);
    r.Add("repeat", rawInput.repeatEnabled ? 1 : 0);
    r.Add("repeatDelayMs", rawInput.repeatDelayMs);
    r.Add("repeatIntervalMs", rawInput.repeatIntervalMs);
    r.Add("repeating", rawInput.repeatTimer != 0 ? 1 : 0);
    r.Add("leftCtrlDown", rawInput.keys.LeftCtrlDown() ? 1 : 0);
    r.Add("leftShiftDown", rawInput.keys.IsDown(rawInput.keys.keys().leftShift) ? 1 : 0);
    AddPanelState(r);

    const std::string& text = r.text();
    XChangeProperty(XDisplay(), singleInstance.owner, singleInstance.stateProperty, singleInstance.utf8String, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
    XFlush(XDisplay());
}

gboolean OnPublishIdle(gpointer) {
    singleInstance.publishIdle = 0;
    if (singleInstance.owner) PublishState();
    return G_SOURCE_REMOVE;
}

// Nobody can convert our selection to anything: refuse politely.
void RefuseConversion(const XSelectionRequestEvent& req) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = req.requestor;
    reply.xselection.selection = req.selection;
    reply.xselection.target = req.target;
    reply.xselection.property = None;
    reply.xselection.time = req.time;
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);
    XSendEvent(XDisplay(), req.requestor, False, NoEventMask, &reply);
    gdk_x11_display_error_trap_pop_ignored(display);
}

}  // namespace

InstanceClaim ClaimInstance() {
    Display* x = XDisplay();
    singleInstance.selection = XInternAtom(x, kInstanceName, False);
    singleInstance.presentMessage = XInternAtom(x, kPresentMessageName, False);
    singleInstance.stateProperty = XInternAtom(x, kStatePropertyName, False);
    singleInstance.utf8String = XInternAtom(x, "UTF8_STRING", False);

    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        const Window owner = XGetSelectionOwner(x, singleInstance.selection);
        if (owner != None) {
            if (AskOwner(x, owner)) return InstanceClaim::kOtherPresented;
            continue;
        }
        if (!singleInstance.owner) {
            XSetWindowAttributes attrs{};
            attrs.override_redirect = True;
            singleInstance.owner = XCreateWindow(x, DefaultRootWindow(x), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                                                 CopyFromParent, CWOverrideRedirect, &attrs);
            XStoreName(x, singleInstance.owner, kInstanceName);
            XClassHint hint{const_cast<char*>(kInstanceName), const_cast<char*>(kInstanceName)};
            XSetClassHint(x, singleInstance.owner, &hint);
        }
        XSetSelectionOwner(x, singleInstance.selection, singleInstance.owner, CurrentTime);
        if (XGetSelectionOwner(x, singleInstance.selection) == singleInstance.owner) return InstanceClaim::kFirst;
    }
    // Lost every race: someone else owns the selection and could not be asked.
    // Going on as a second copy is what the reference does when it cannot find
    // the first copy's window.
    return InstanceClaim::kFirst;
}

GdkFilterReturn FilterInstanceEvent(GdkXEvent* xevent) {
    const XEvent* ev = static_cast<const XEvent*>(xevent);
    if (!singleInstance.owner) return GDK_FILTER_CONTINUE;
    if (ev->type == ClientMessage && ev->xclient.window == singleInstance.owner &&
        ev->xclient.message_type == singleInstance.presentMessage) {
        PresentOnRequest();
        return GDK_FILTER_REMOVE;
    }
    if (ev->type == SelectionRequest && ev->xselectionrequest.owner == singleInstance.owner) {
        RefuseConversion(ev->xselectionrequest);
        return GDK_FILTER_REMOVE;
    }
    if (ev->type == SelectionClear && ev->xselectionclear.window == singleInstance.owner) return GDK_FILTER_REMOVE;
    return GDK_FILTER_CONTINUE;
}

void SchedulePublishState() {
    if (singleInstance.publishIdle || !singleInstance.owner) return;
    // The priority of the gestures' frames, so that a stream of them cannot
    // hold the report back.
    singleInstance.publishIdle = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, OnPublishIdle, nullptr, nullptr);
}

void ReleaseInstance() {
    if (singleInstance.publishIdle) g_source_remove(singleInstance.publishIdle);
    singleInstance.publishIdle = 0;
    if (singleInstance.owner) XDestroyWindow(XDisplay(), singleInstance.owner);
    singleInstance.owner = 0;
}

}  // namespace qv::linuxshell
