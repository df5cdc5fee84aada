// Every long-lived thing of the Linux program, in one place. There is one
// instance of each, defined in app_state.cpp in the order below (and so
// built in that order and destroyed in the reverse one); GTK's main loop on
// the one thread is the only user, so nothing here is locked.
#pragma once

#include <gtk/gtk.h>
#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <vector>

#include "desk_placement.h"
#include "effect_settings.h"
#include "frame_composer.h"
#include "key_tracker.h"
#include "monitor_layout.h"
#include "panel_rules.h"
#include "random_source.h"
#include "surface.h"

namespace qv::linuxshell {

// The overlay: the window, the picture it shows and the random source of
// the pattern. The engine draws straight into the image surface's pixels
// (ARGB32 is the engine's own byte layout), and the draw handler paints it
// with the overall opacity.
struct OverlayLayer {
    GtkWidget* window = nullptr;
    cairo_surface_t* image = nullptr;  // null when no picture could be made
    Surface surface;                   // the engine's view of image's pixels
    std::int32_t width = 0;            // device pixels, the covered monitor's size
    std::int32_t height = 0;
    Monitor monitor;                   // the monitor it covers; none before the first fit
    std::vector<Monitor> monitors;     // the layout as last asked of the server
    int scale = 1;                     // GDK's window scale: device pixels per logical one
    std::uint8_t constantAlpha = 255;  // written by every frame from settings.alpha
    RandomSource random;
    FrameScratch scratch;              // the fill's working memory, kept between frames

    // The user's show/hide flag: compared with 1 and flipped by the gesture;
    // a second copy's request shows the overlay without telling it.
    std::int32_t overlayVisible = 1;
    bool wantShown = true;     // the last show or hide asked for
    bool composited = false;   // a compositing manager runs: transparency works
    bool mapped = false;       // on screen: wanted and composited
    GtkWidget* notice = nullptr;  // the message saying why it is not, while no compositor runs

    std::uint64_t frames = 0;       // frames composed
    std::uint64_t newPatterns = 0;  // frames with a fresh seed
    std::uint64_t dragFrames = 0;   // frames made from the frame before
    // The picture is a drag's frame; the exact frame follows when the
    // centre rests (left Ctrl released, or restTimer).
    bool dragShown = false;
    guint restTimer = 0;
};

// The raw XInput2 stream on the root window and what it has told so far.
struct RawInput {
    Display* xdisplay = nullptr;  // GDK's own connection
    int xiOpcode = -1;            // -1 until XInput2 is selected
    KeyTracker keys{ModifierKeycodes{}};
    std::int32_t ctrlLatch = 0;   // 1 from a handled left-Ctrl press to its release
    bool repeatEnabled = true;    // the keyboard auto-repeats left Shift
    unsigned repeatDelayMs = 660;
    unsigned repeatIntervalMs = 40;
    guint repeatTimer = 0;
    bool repeatStarted = false;   // past the first delay

    // Requests waiting for the next flush: several raw events in a burst
    // give one frame, with the pointer where it is when the frame is made.
    bool movePending = false;
    bool newPatternPending = false;
    bool redrawPending = false;
    bool restPending = false;  // left Ctrl was released
    guint flushIdle = 0;
};

// The control panel's widgets and the slot table's remembered positions.
struct PanelWindow {
    GtkWidget* window = nullptr;
    std::array<GtkWidget*, panel::kSlotCount> trackbars{};
    std::array<int, panel::kSlotCount> remembered{};
    std::array<GtkWidget*, panel::kParamCount> paramLabels{};
    std::array<GtkWidget*, panel::kColorCount> colorLabels{};
    std::array<GtkWidget*, kJitterCount> checkBoxes{};
    GtkWidget* colorGroup = nullptr;
    GtkWidget* resetButton = nullptr;
    int quietDepth = 0;           // > 0 while the program itself moves widgets
};

// What the window manager (or its absence) has told about the desktop, and
// where the panel was last put because of it.
struct DeskState {
    Window panelTop = 0;     // the panel's frame, or the panel itself with no reparenting manager
    bool panelShown = true;  // panelTop was viewable at the last check
    guint stackingIdle = 0;  // a stacking check is waiting
    bool gdkWatchesRootChildren = false;  // GDK selected SubstructureNotify on the root itself
    bool placed = false;                  // the panel was placed from the values below
    Box placedArea;
    FrameExtents placedExtents;
};

// The single-instance selection and the window that owns it.
struct SingleInstance {
    Window owner = 0;
    Atom selection = 0;
    Atom presentMessage = 0;
    Atom stateProperty = 0;
    Atom utf8String = 0;
    guint publishIdle = 0;
};

extern EffectSettings settings;
extern OverlayLayer overlayLayer;
extern RawInput rawInput;
extern PanelWindow panelWindow;
extern SingleInstance singleInstance;
extern DeskState desk;

}  // namespace qv::linuxshell
