#include "overlay.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <cstdio>
#include <optional>

#include "app_state.h"
#include "desk.h"
#include "frame_composer.h"
#include "frame_drag.h"
#include "gesture_decoder.h"
#include "monitors.h"
#include "panel_window.h"
#include "single_instance.h"

namespace qv::linuxshell {

namespace {

constexpr double kFullOpacity = 255.0;

void ReleaseImage() {
    if (overlayLayer.image) cairo_surface_destroy(overlayLayer.image);
    overlayLayer.image = nullptr;
    overlayLayer.surface = Surface{};
}

// The picture: an ARGB32 image whose rows have no gaps, so that the engine
// sees exactly its own layout. Any failure leaves no pixels, and frames are
// then composed without drawing.
void CreateImage(std::int32_t width, std::int32_t height) {
    overlayLayer.surface = Surface{};
    overlayLayer.image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(overlayLayer.image) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "quorvane: no %dx%d picture could be made; nothing will be drawn\n", width, height);
        return;
    }
    if (cairo_image_surface_get_stride(overlayLayer.image) != width * 4) return;
    overlayLayer.surface.bits = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(overlayLayer.image));
    overlayLayer.surface.width = width;
    overlayLayer.surface.height = height;
    overlayLayer.surface.byteSize = SurfaceByteSize(width, height);
    cairo_surface_set_device_scale(overlayLayer.image, overlayLayer.scale, overlayLayer.scale);
}

// The picture and the window over one monitor, at its size in device
// pixels; GTK places and sizes the window in logical ones.
void Cover(const Monitor& monitor) {
    if (GdkWindow* gw = gtk_widget_get_window(overlayLayer.window))
        overlayLayer.scale = gdk_window_get_scale_factor(gw);
    if (overlayLayer.scale < 1) overlayLayer.scale = 1;
    const std::int32_t width = monitor.rect.Width(), height = monitor.rect.Height();
    ReleaseImage();
    CreateImage(width, height);
    overlayLayer.monitor = monitor;
    overlayLayer.width = width;
    overlayLayer.height = height;
    const int scale = overlayLayer.scale;
    gtk_window_move(GTK_WINDOW(overlayLayer.window), monitor.rect.left / scale, monitor.rect.top / scale);
    gtk_window_resize(GTK_WINDOW(overlayLayer.window), width / scale > 0 ? width / scale : 1,
                      height / scale > 0 ? height / scale : 1);
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
    if (overlayLayer.image && overlayLayer.surface.bits) {
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(cr, overlayLayer.image, 0, 0);
        cairo_paint_with_alpha(cr, overlayLayer.constantAlpha / kFullOpacity);
    }
    cairo_restore(cr);
    return TRUE;
}

void EnsureRgbaVisual() {
    GdkScreen* screen = gtk_widget_get_screen(overlayLayer.window);
    GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
    if (!rgba || gtk_widget_get_visual(overlayLayer.window) == rgba) return;
    const bool realized = gtk_widget_get_realized(overlayLayer.window);
    if (realized) gtk_widget_unrealize(overlayLayer.window);
    gtk_widget_set_visual(overlayLayer.window, rgba);
    if (realized) gtk_widget_realize(overlayLayer.window);
}

// A compositing manager may stop compositing a full-screen
// override-redirect window that lies on top ("unredirect" it, as for a game)
// and then shows none of its later frames; ours is translucent and must
// always be composited: _NET_WM_BYPASS_COMPOSITOR = 2 says so.
constexpr long kNeverBypassCompositor = 2;
void KeepComposited() {
    GdkWindow* w = gtk_widget_get_window(overlayLayer.window);
    if (!w) return;
    Display* x = gdk_x11_display_get_xdisplay(gdk_window_get_display(w));
    const long value = kNeverBypassCompositor;
    XChangeProperty(
        x, gdk_x11_window_get_xid(w),
        gdk_x11_get_xatom_by_name_for_display(gdk_window_get_display(w), "_NET_WM_BYPASS_COMPOSITOR"),
        XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
}

void ApplyInputShape() {
    cairo_region_t* nothing = cairo_region_create();
    gtk_widget_input_shape_combine_region(overlayLayer.window, nothing);
    cairo_region_destroy(nothing);
}

// On screen exactly when wanted and when a compositing manager can make it
// transparent: without one the whole screen would turn black.
void UpdateMapping() {
    const bool show = overlayLayer.wantShown && overlayLayer.composited &&
                      gdk_screen_get_rgba_visual(gtk_widget_get_screen(overlayLayer.window)) != nullptr;
    if (show == overlayLayer.mapped) return;
    if (show) {
        EnsureRgbaVisual();
        KeepComposited();
        gtk_widget_show(overlayLayer.window);
        ApplyInputShape();
        overlayLayer.mapped = true;
        KeepOverlayBelowPanel();
        ScheduleStackingCheck();
    } else {
        gtk_widget_hide(overlayLayer.window);
        overlayLayer.mapped = false;
    }
    SchedulePublishState();
}

constexpr const char* kNoCompositorNotice =
    "コンポジットマネージャが動いていないため、集中線は表示されません。\n"
    "No compositing manager is running, so the focus lines stay hidden: without one the overlay would "
    "black out the whole screen. Start one (xcompmgr, picom, or your desktop's compositing) and they appear.";

void OnNoticeResponse(GtkDialog* dialog, gint, gpointer) { gtk_widget_destroy(GTK_WIDGET(dialog)); }
void OnNoticeDestroyed(GtkWidget*, gpointer) {
    overlayLayer.notice = nullptr;
    SchedulePublishState();
}

// A message of its own, so that the panel keeps its layout and its place.
void ShowNotice(bool show) {
    if (!show) {
        if (overlayLayer.notice) gtk_widget_destroy(overlayLayer.notice);
        return;
    }
    if (overlayLayer.notice) return;
    GtkWidget* d = gtk_message_dialog_new(nullptr, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_WARNING,
                                          GTK_BUTTONS_CLOSE, "%s", kNoCompositorNotice);
    gtk_window_set_title(GTK_WINDOW(d), "Quorvane");
    gtk_window_set_position(GTK_WINDOW(d), GTK_WIN_POS_CENTER);
    g_signal_connect(d, "response", G_CALLBACK(OnNoticeResponse), nullptr);
    g_signal_connect(d, "destroy", G_CALLBACK(OnNoticeDestroyed), nullptr);
    overlayLayer.notice = d;
    gtk_widget_show(d);
    SchedulePublishState();
}

void FollowCompositor(bool atStart) {
    GdkScreen* screen = gtk_widget_get_screen(overlayLayer.window);
    const bool composited = gdk_screen_is_composited(screen);
    const bool changed = composited != overlayLayer.composited;
    overlayLayer.composited = composited;
    if (!composited && (changed || atStart)) std::fprintf(stderr, "quorvane: %s\n", kNoCompositorNotice);
    if (composited && changed && !atStart) std::fprintf(stderr, "quorvane: a compositing manager runs now\n");
    ShowNotice(!composited);
    UpdateMapping();
}

void OnCompositedChanged(GdkScreen*, gpointer) { FollowCompositor(false); }
// One change of the screen raises both of GDK's signals and RandR's own
// event: one refit.
guint refitIdle = 0;
gboolean OnRefit(gpointer) {
    refitIdle = 0;
    FitToDesktop();
    return G_SOURCE_REMOVE;
}
void ScheduleRefit() {
    if (!refitIdle) refitIdle = g_idle_add(OnRefit, nullptr);
}
void OnScreenChanged(GdkScreen*, gpointer) { ScheduleRefit(); }

// A frame is composed: the picture is repainted and the state published.
void Shown() {
    if (overlayLayer.image) cairo_surface_mark_dirty(overlayLayer.image);
    ++overlayLayer.frames;
    gtk_widget_queue_draw(overlayLayer.window);
    KeepOverlayBelowPanel();
    SchedulePublishState();
}

gboolean OnRest(gpointer) {
    overlayLayer.restTimer = 0;
    if (overlayLayer.dragShown) Redraw(kReplaySelector);
    return G_SOURCE_REMOVE;
}

}  // namespace

bool CreateOverlay() {
    GtkWidget* w = gtk_window_new(GTK_WINDOW_POPUP);
    if (!w) return false;
    overlayLayer.window = w;
    gtk_window_set_title(GTK_WINDOW(w), kInstanceName);
    gtk_window_set_accept_focus(GTK_WINDOW(w), FALSE);
    gtk_widget_set_app_paintable(w, TRUE);
    EnsureRgbaVisual();
    g_signal_connect(w, "draw", G_CALLBACK(OnDraw), nullptr);
    g_signal_connect(w, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_realize(w);
    ApplyInputShape();

    GdkScreen* screen = gtk_widget_get_screen(w);
    g_signal_connect(screen, "composited-changed", G_CALLBACK(OnCompositedChanged), nullptr);
    g_signal_connect(screen, "size-changed", G_CALLBACK(OnScreenChanged), nullptr);
    g_signal_connect(screen, "monitors-changed", G_CALLBACK(OnScreenChanged), nullptr);
    WatchMonitors(ScheduleRefit);
    overlayLayer.composited = gdk_screen_is_composited(screen);
    return true;
}

void FitToDesktop() {
    overlayLayer.monitors = QueryMonitors();
    const std::optional<OverlayFit> fit = FitAfterDisplayChange(overlayLayer.monitors, overlayLayer.monitor);
    if (fit) Cover(fit->monitor);
    settings.centerX = fit ? fit->center.x : overlayLayer.width / 2;
    settings.centerY = fit ? fit->center.y : overlayLayer.height / 2;
    overlayLayer.random.SetJitterRanges(settings.densityJitter, settings.thicknessJitter, settings.spaceJitter,
                                        settings.alphaJitter);
    Redraw(kNewPatternSelector);
    PlacePanel(false);  // another primary, or the same one resized, has another corner
}

bool FollowGesture(GestureReach reach, ScreenPoint pointer) {
    // Only a pointer off the covered monitor can move the overlay: asking
    // the server again then also catches monitors defined since the last
    // display change, which not every server announces.
    if (overlayLayer.monitor.rect.Holds(pointer)) return false;
    overlayLayer.monitors = QueryMonitors();
    const std::optional<OverlayFit> fit =
        FitForGesture(overlayLayer.monitors, overlayLayer.monitor, pointer, reach);
    if (!fit) return false;
    Cover(fit->monitor);
    settings.centerX = fit->center.x;
    settings.centerY = fit->center.y;
    return true;
}

void Redraw(std::int32_t selector) {
    if (overlayLayer.image) cairo_surface_flush(overlayLayer.image);
    RenderFrame(selector, settings, overlayLayer.random, overlayLayer.surface, overlayLayer.constantAlpha,
                overlayLayer.scratch);
    overlayLayer.dragShown = false;
    Shown();
    if (selector != kReplaySelector) ++overlayLayer.newPatterns;
}

void DragRedraw() {
    if (overlayLayer.image) cairo_surface_flush(overlayLayer.image);
    const DragStats drag = DragFrame(settings, overlayLayer.random, overlayLayer.surface,
                                     overlayLayer.constantAlpha, overlayLayer.scratch);
    overlayLayer.dragShown = !drag.wholeFrame;
    if (overlayLayer.dragShown) {
        ++overlayLayer.dragFrames;
        // Each move puts the rest off again.
        if (overlayLayer.restTimer) g_source_remove(overlayLayer.restTimer);
        overlayLayer.restTimer = g_timeout_add(kCenterRestMs, OnRest, nullptr);
    }
    Shown();
}

void CenterRests() {
    if (overlayLayer.restTimer) g_source_remove(overlayLayer.restTimer);
    overlayLayer.restTimer = 0;
    if (overlayLayer.dragShown) Redraw(kReplaySelector);
}

void ToggleOverlay() {
    const VisibilityChange change = ToggleVisibility(overlayLayer.overlayVisible);
    // Shown where the pointer is: moved there first, with the same pattern.
    if (change.show)
        if (const std::optional<ScreenPoint> pointer = QueryPointer();
            pointer && FollowGesture(GestureReach::kInPlace, *pointer))
            Redraw(kReplaySelector);
    overlayLayer.overlayVisible = change.visible;
    overlayLayer.wantShown = change.show;
    UpdateMapping();
    SchedulePublishState();
}

void PresentOnRequest() {
    overlayLayer.wantShown = true;
    UpdateMapping();
    KeepOverlayBelowPanel();
    PresentPanel();
}

void ShowOverlayAtStart() { FollowCompositor(true); }

void ReleaseOverlay() { ReleaseImage(); }

}  // namespace qv::linuxshell
