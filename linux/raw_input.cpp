#include "raw_input.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include <cstdio>
#include <optional>
#include <utility>

#include "app_state.h"
#include "frame_composer.h"
#include "gesture_decoder.h"
#include "monitors.h"
#include "overlay.h"
#include "panel_window.h"
#include "single_instance.h"

namespace qv::linuxshell {

namespace {

constexpr int kWheelUpButton = 4;
constexpr int kWheelDownButton = 5;
constexpr std::uint32_t kWheelNotch = 120;  // one notch of the reference's wheel delta
constexpr int kXiMajor = 2;
constexpr int kXiMinor = 2;
constexpr int kPointerAxisX = 0;
constexpr int kPointerAxisY = 1;
// After the events of a burst, and after GTK has painted the frame before:
// above the redraw priority a slow frame would starve painting while a key
// repeats.
constexpr int kFlushPriority = G_PRIORITY_DEFAULT_IDLE;

bool filterInstalled = false;

ModifierKeycodes ReadModifierKeycodes(Display* x) {
    return ModifierKeycodes{XKeysymToKeycode(x, XK_Control_L), XKeysymToKeycode(x, XK_Shift_L),
                            XKeysymToKeycode(x, XK_Alt_L)};
}

void ReadRepeatRate(Display* x) {
    unsigned delay = 0, interval = 0;
    if (XkbGetAutoRepeatRate(x, XkbUseCoreKbd, &delay, &interval) && interval > 0) {
        rawInput.repeatDelayMs = delay;
        rawInput.repeatIntervalMs = interval;
    }
    // Only the keyboard's global switch counts: X keymaps usually mark the
    // modifiers as non-repeating, but the gesture repeats as it does on the
    // reference platform, where every key repeats.
    XKeyboardState state{};
    XGetKeyboardControl(x, &state);
    rawInput.repeatEnabled = state.global_auto_repeat == AutoRepeatModeOn;
}

void SelectRawEvents(Display* x, bool on) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawMotion);
    }
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(x, DefaultRootWindow(x), &mask, 1);
    XFlush(x);
}

gboolean OnFlush(gpointer) {
    rawInput.flushIdle = 0;
    const std::optional<ScreenPoint> pointer = QueryPointer();
    bool moved = false;
    if (rawInput.movePending) {
        rawInput.movePending = false;
        if (pointer) {
            // A move onto another monitor refits the surface: that frame is
            // drawn whole, not made from the frame before.
            if (FollowGesture(GestureReach::kCenterToPointer, *pointer)) rawInput.redrawPending = true;
            const ScreenPoint center = ToSurface(*pointer, overlayLayer.monitor.rect);
            settings.centerX = center.x;
            settings.centerY = center.y;
            moved = true;
        }
    }
    // The wheel and a new pattern act on the pointer's monitor too (after a
    // drag the overlay is there already).
    if (pointer && (rawInput.newPatternPending || rawInput.redrawPending))
        FollowGesture(GestureReach::kInPlace, *pointer);
    // A move alone is a drag's frame; with anything else, or with the
    // release of left Ctrl in the same burst, the exact frame.
    const bool rests = std::exchange(rawInput.restPending, false);
    if (rawInput.newPatternPending) {
        rawInput.newPatternPending = false;
        rawInput.redrawPending = false;
        Redraw(kNewPatternSelector);
    } else if (rawInput.redrawPending || (moved && rests)) {
        rawInput.redrawPending = false;
        Redraw(kReplaySelector);
    } else if (moved) {
        DragRedraw();
    } else if (rests) {
        CenterRests();
    }
    return G_SOURCE_REMOVE;
}

void ScheduleFlush() {
    if (!rawInput.flushIdle) rawInput.flushIdle = g_idle_add_full(kFlushPriority, OnFlush, nullptr, nullptr);
}

void Act(Gesture gesture, std::uint16_t space) {
    switch (gesture) {
        case Gesture::kCenterToCursor:
        case Gesture::kCenterToPoint:
            rawInput.movePending = true;
            ScheduleFlush();
            break;
        case Gesture::kNewPattern:
            rawInput.newPatternPending = true;
            ScheduleFlush();
            break;
        case Gesture::kToggleOverlay: ToggleOverlay(); break;
        case Gesture::kSpaceWheel:
            settings.space = space;
            MoveSpaceTrackbar(space);
            rawInput.redrawPending = true;
            ScheduleFlush();
            break;
        case Gesture::kCenterRests:
            // After the moves of the same burst.
            rawInput.restPending = true;
            ScheduleFlush();
            break;
        case Gesture::kNone: break;
    }
}

void Decide(KeyEvent event) {
    const KeyDecision d = DecodeKeyEvent(event, rawInput.keys.LeftCtrlDown(), rawInput.ctrlLatch);
    rawInput.ctrlLatch = d.ctrlLatch;
    Act(d.gesture, settings.space);
}

void StopRepeat() {
    if (rawInput.repeatTimer) g_source_remove(rawInput.repeatTimer);
    rawInput.repeatTimer = 0;
    rawInput.repeatStarted = false;
}

gboolean OnRepeat(gpointer) {
    const auto event = rawInput.keys.RepeatTick();
    if (!event) {
        rawInput.repeatTimer = 0;
        rawInput.repeatStarted = false;
        return G_SOURCE_REMOVE;
    }
    Decide(*event);
    if (!rawInput.repeatStarted) {
        rawInput.repeatStarted = true;
        rawInput.repeatTimer = g_timeout_add(rawInput.repeatIntervalMs, OnRepeat, nullptr);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

// Only the key pressed last repeats: a new press of left Shift starts the
// delay again, any other press or the release of left Shift stops it.
void FollowRepeat(bool shiftJustPressed) {
    if (shiftJustPressed) StopRepeat();
    if (!rawInput.keys.ShiftRepeating() || !rawInput.repeatEnabled) {
        StopRepeat();
        return;
    }
    if (!rawInput.repeatTimer) rawInput.repeatTimer = g_timeout_add(rawInput.repeatDelayMs, OnRepeat, nullptr);
}

void HandleRaw(const XIRawEvent& raw) {
    switch (raw.evtype) {
        case XI_RawKeyPress: {
            const auto keycode = static_cast<std::uint32_t>(raw.detail);
            const auto event = rawInput.keys.Press(keycode);
            FollowRepeat(keycode == rawInput.keys.keys().leftShift);
            if (event) Decide(*event);
            SchedulePublishState();
            break;
        }
        case XI_RawKeyRelease: {
            const auto event = rawInput.keys.Release(static_cast<std::uint32_t>(raw.detail));
            FollowRepeat(false);
            if (event) Decide(*event);
            SchedulePublishState();
            break;
        }
        case XI_RawButtonPress: {
            std::uint32_t delta = 0;
            if (raw.detail == kWheelUpButton) delta = kWheelNotch;
            else if (raw.detail == kWheelDownButton) delta = static_cast<std::uint32_t>(-static_cast<std::int32_t>(kWheelNotch));
            else break;
            const MouseDecision d = DecodeMouseEvent(MouseEvent{kMsgMouseWheel, (delta & 0xFFFFu) << 16},
                                                     rawInput.keys.LeftCtrlDown(), settings.space);
            Act(d.gesture, d.space);
            break;
        }
        case XI_RawMotion: {
            // Smooth scrolling also reports raw motion, on the scroll axes only.
            if (!XIMaskIsSet(raw.valuators.mask, kPointerAxisX) && !XIMaskIsSet(raw.valuators.mask, kPointerAxisY))
                break;
            const MouseDecision d =
                DecodeMouseEvent(MouseEvent{kMsgMouseMove, 0}, rawInput.keys.LeftCtrlDown(), settings.space);
            Act(d.gesture, d.space);
            break;
        }
        default: break;
    }
}

GdkFilterReturn Filter(GdkXEvent* xevent, GdkEvent*, gpointer) {
    XEvent* ev = static_cast<XEvent*>(xevent);
    if (ev->type != GenericEvent) return FilterInstanceEvent(xevent);
    XGenericEventCookie* cookie = &ev->xcookie;
    if (rawInput.xiOpcode < 0 || cookie->extension != rawInput.xiOpcode) return GDK_FILTER_CONTINUE;
    switch (cookie->evtype) {
        case XI_RawKeyPress:
        case XI_RawKeyRelease:
        case XI_RawButtonPress:
        case XI_RawMotion:
            // GDK fetched the cookie's data before running filters.
            if (cookie->data) HandleRaw(*static_cast<const XIRawEvent*>(cookie->data));
            return GDK_FILTER_REMOVE;
        default: return GDK_FILTER_CONTINUE;  // GTK's own XI2 input
    }
}

void OnKeysChanged(GdkKeymap*, gpointer) {
    rawInput.keys.SetKeys(ReadModifierKeycodes(rawInput.xdisplay));
    ReadRepeatRate(rawInput.xdisplay);
}

}  // namespace

bool StartRawInput() {
    GdkDisplay* display = gdk_display_get_default();
    rawInput.xdisplay = gdk_x11_display_get_xdisplay(display);
    if (!filterInstalled) {
        gdk_window_add_filter(nullptr, Filter, nullptr);
        g_signal_connect(gdk_keymap_get_for_display(display), "keys-changed", G_CALLBACK(OnKeysChanged), nullptr);
        filterInstalled = true;
    }
    rawInput.keys.SetKeys(ReadModifierKeycodes(rawInput.xdisplay));
    ReadRepeatRate(rawInput.xdisplay);

    int opcode = 0, firstEvent = 0, firstError = 0;
    if (!XQueryExtension(rawInput.xdisplay, "XInputExtension", &opcode, &firstEvent, &firstError)) {
        std::fprintf(stderr, "quorvane: the X server has no XInput extension; the gestures are off\n");
        return false;
    }
    // GDK has normally negotiated XI2 already; asking again must not break it.
    int major = kXiMajor, minor = kXiMinor;
    gdk_x11_display_error_trap_push(display);
    const Status version = XIQueryVersion(rawInput.xdisplay, &major, &minor);
    gdk_x11_display_error_trap_pop_ignored(display);
    if (version != Success && major < kXiMajor) {
        std::fprintf(stderr, "quorvane: the X server has no XInput 2; the gestures are off\n");
        return false;
    }
    rawInput.xiOpcode = opcode;
    SelectRawEvents(rawInput.xdisplay, true);
    return true;
}

void RestartRawInput() {
    if (rawInput.xiOpcode < 0) {
        StartRawInput();
        return;
    }
    SelectRawEvents(rawInput.xdisplay, false);
    rawInput.keys.SetKeys(ReadModifierKeycodes(rawInput.xdisplay));
    ReadRepeatRate(rawInput.xdisplay);
    SelectRawEvents(rawInput.xdisplay, true);
}

void StopRawInput() {
    StopRepeat();
    if (rawInput.flushIdle) g_source_remove(rawInput.flushIdle);
    rawInput.flushIdle = 0;
    if (rawInput.xiOpcode >= 0 && rawInput.xdisplay) SelectRawEvents(rawInput.xdisplay, false);
    rawInput.xiOpcode = -1;
}

}  // namespace qv::linuxshell
