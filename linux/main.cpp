// quorvane for X11: the overlay, the panel and the gestures, on one thread
// in GTK's main loop.
//
// Start-up follows the reference program's order: single instance, default
// settings, overlay window, first frame, click-through, show, panel, input.
// Exit codes: 0 after the panel was closed; 255 (-1) when another copy was
// asked to present itself or start-up failed.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>

#include "app_state.h"
#include "desk.h"
#include "overlay.h"
#include "panel_window.h"
#include "raw_input.h"
#include "single_instance.h"

namespace {

constexpr int kExitNormal = 0;
constexpr int kExitFailed = -1;

}  // namespace

int main(int argc, char** argv) {
    using namespace qv::linuxshell;

    // Raw input, the selection and the overlay's transparency are X11
    // things; under a Wayland session this runs through XWayland.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr,
                     "quorvane: cannot open an X display (is DISPLAY set?). Native Wayland sessions give no "
                     "global pointer or keys; run it under XWayland or X11.\n");
        return kExitFailed;
    }
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
        std::fprintf(stderr, "quorvane: needs an X11 display\n");
        return kExitFailed;
    }

    if (ClaimInstance() == InstanceClaim::kOtherPresented) return kExitFailed;

    qv::ApplyStartupDefaults(settings);
    if (!CreateOverlay()) {
        ReleaseInstance();
        return kExitFailed;
    }
    StartDeskWatch();
    StartRawInput();  // installs the event filter before the first frame's events arrive
    FitToDesktop();
    CreatePanel();
    ShowOverlayAtStart();

    gtk_main();

    StopRawInput();
    ReleaseOverlay();
    ReleaseInstance();
    return kExitNormal;
}
