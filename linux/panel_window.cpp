#include "panel_window.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "app_state.h"
#include "desk.h"
#include "frame_composer.h"
#include "overlay.h"
#include "panel_labels.h"
#include "panel_layout.h"
#include "raw_input.h"
#include "single_instance.h"
#include "state_report.h"

namespace qv::linuxshell {

using panel::ControlKind;
using panel::PanelControl;
using panel::DuToPixelsX;
using panel::DuToPixelsY;
using panel::FindControl;
using panel::kPanelCaption;
using panel::kPanelControls;
using panel::kPanelHeightDu;
using panel::kPanelWidthDu;

namespace {

// The panel's font and compact widgets: the layout is in dialog units of an
// 8-point font, and GTK's default paddings would not fit in it.
constexpr const char* kPanelCss =
    "* { font-size: 8pt; }\n"
    "checkbutton { padding: 0; min-height: 0; }\n"
    "checkbutton check { min-width: 11px; min-height: 11px; margin: 0 3px 0 0; }\n"
    "scale { padding: 0 4px; min-height: 0; }\n"
    "scale slider { min-width: 11px; min-height: 11px; margin: -5px; }\n"
    "scale trough { min-height: 3px; }\n"
    "scale marks mark indicator { min-height: 3px; }\n"
    "button { padding: 0; }\n";


// Widgets moved by the program itself raise no handler, as a trackbar's
// position message raises no notification.
struct Quiet {
    Quiet() { ++panelWindow.quietDepth; }
    ~Quiet() { --panelWindow.quietDepth; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;
};

bool Noisy() { return panelWindow.quietDepth == 0; }

int Position(int slot) {
    return static_cast<int>(std::lround(gtk_range_get_value(GTK_RANGE(panelWindow.trackbars[static_cast<std::size_t>(slot)]))));
}

void SetPosition(int slot, int position) {
    Quiet quiet;
    gtk_range_set_value(GTK_RANGE(panelWindow.trackbars[static_cast<std::size_t>(slot)]), position);
}

void SetText(GtkWidget* w, const std::wstring& text) {
    const std::string utf8 = panel::ToUtf8(text);
    if (GTK_IS_LABEL(w)) gtk_label_set_text(GTK_LABEL(w), utf8.c_str());
    else if (GTK_IS_FRAME(w)) gtk_frame_set_label(GTK_FRAME(w), utf8.c_str());
    else if (GTK_IS_BUTTON(w)) gtk_button_set_label(GTK_BUTTON(w), utf8.c_str());
}

void UpdateParamLabel(int index, int value) {
    SetText(panelWindow.paramLabels[static_cast<std::size_t>(index)], panel::ParamLabelText(index, value));
}

void UpdateColorLabel(int index, int value) {
    SetText(panelWindow.colorLabels[static_cast<std::size_t>(index)], panel::ColorLabelText(index, value));
    SetText(panelWindow.colorGroup, panel::ColorCaptionText(ColorWord(settings)));
}

void UpdateJitterCaption(int index, int value) {
    SetText(panelWindow.checkBoxes[static_cast<std::size_t>(index)], panel::JitterCaptionText(index, value));
}

void RefreshParamLabels() {
    const int values[panel::kParamCount] = {settings.density, settings.thickness, settings.space, settings.ratio};
    for (int i = 0; i < panel::kParamCount; ++i) UpdateParamLabel(i, values[i]);
}

void RefreshColorLabels() {
    const int values[panel::kColorCount] = {settings.red, settings.green, settings.blue, settings.alpha};
    for (int i = 0; i < panel::kColorCount; ++i) UpdateColorLabel(i, values[i]);
}

void RefreshJitterCaptions() {
    for (int i = 0; i < kJitterCount; ++i) UpdateJitterCaption(i, JitterAt(settings, i));
}

void HandJitterToRandomSource() {
    const auto p = panel::JitterPercents(settings);
    overlayLayer.random.SetJitterRanges(p.data());
}

void ShowVariationTrackbars() {
    const auto shown = panel::VariationTrackbarsShown(settings);
    for (int i = 0; i < kJitterCount; ++i)
        gtk_widget_set_visible(panelWindow.trackbars[static_cast<std::size_t>(panel::kFirstJitterSlot + i)],
                               shown[static_cast<std::size_t>(i)]);
}

void OnTrackbarMoved(GtkRange*, gpointer data) {
    if (!Noisy()) return;
    const int slot = GPOINTER_TO_INT(data);
    const panel::SlotWrite w = panel::ApplyTrackbarPosition(settings, slot, Position(slot));
    if (w.jitterRangesChanged) HandJitterToRandomSource();
    switch (w.group) {
        case panel::SlotGroup::kParam: UpdateParamLabel(w.groupIndex, w.value); break;
        case panel::SlotGroup::kColor: UpdateColorLabel(w.groupIndex, w.value); break;
        case panel::SlotGroup::kJitter: UpdateJitterCaption(w.groupIndex, w.value); break;
    }
    Redraw(kReplaySelector);
}

void OnCheckBox(GtkToggleButton*, gpointer) {
    if (!Noisy()) return;
    std::array<bool, kJitterCount> checked{};
    std::array<std::int32_t, kJitterCount> positions{};
    for (int i = 0; i < kJitterCount; ++i) {
        const auto k = static_cast<std::size_t>(i);
        checked[k] = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(panelWindow.checkBoxes[k]));
        positions[k] = Position(panel::kFirstJitterSlot + i);
    }
    panel::ApplyCheckBoxRule(settings, checked, positions);
    ShowVariationTrackbars();
    HandJitterToRandomSource();
    RefreshJitterCaptions();
    Redraw(kReplaySelector);
}

void OnReset(GtkButton*, gpointer) {
    // The reference re-installs its input hooks here; the raw events are
    // selected again and the keyboard map read afresh.
    RestartRawInput();
    std::array<std::int32_t, panel::kMainSlotCount> remembered{};
    for (int slot = 0; slot < panel::kMainSlotCount; ++slot) {
        SetPosition(slot, panelWindow.remembered[static_cast<std::size_t>(slot)]);
        remembered[static_cast<std::size_t>(slot)] = panelWindow.remembered[static_cast<std::size_t>(slot)];
    }
    panel::ApplyReset(settings, remembered);
    for (int i = 0; i < kJitterCount; ++i) SetPosition(panel::kFirstJitterSlot + i, panel::kResetVariationPosition);
    HandJitterToRandomSource();
    {
        Quiet quiet;
        for (GtkWidget* box : panelWindow.checkBoxes) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), FALSE);
    }
    ShowVariationTrackbars();
    RefreshParamLabels();
    RefreshColorLabels();
    RefreshJitterCaptions();
    Redraw(kReplaySelector);
}

int SlotOf(int trackbarId) { return panel::SlotForTrackbarId(trackbarId); }

int JitterIndexOfCheckBox(int id) {
    for (int i = 0; i < kJitterCount; ++i)
        if (panel::kCheckBoxIds[static_cast<std::size_t>(i)] == id) return i;
    return -1;
}

// With left Ctrl held the wheel is the space gesture everywhere, the panel
// included: a trackbar under the pointer must not take the turn as well.
gboolean OnTrackbarScroll(GtkWidget*, GdkEvent*, gpointer) { return rawInput.keys.LeftCtrlDown() ? TRUE : FALSE; }

GtkWidget* MakeTrackbar(const PanelControl& c) {
    GtkWidget* scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 1, 1);
    gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
    gtk_scale_set_digits(GTK_SCALE(scale), 0);
    gtk_range_set_round_digits(GTK_RANGE(scale), 0);
    const int slot = SlotOf(c.id);
    panelWindow.trackbars[static_cast<std::size_t>(slot)] = scale;
    g_signal_connect(scale, "value-changed", G_CALLBACK(OnTrackbarMoved), GINT_TO_POINTER(slot));
    g_signal_connect(scale, "scroll-event", G_CALLBACK(OnTrackbarScroll), nullptr);
    return scale;
}

GtkWidget* MakeControl(const PanelControl& c) {
    switch (c.kind) {
        case ControlKind::kPushButton: {
            GtkWidget* b = gtk_button_new_with_label(c.text);
            g_signal_connect(b, "clicked", G_CALLBACK(OnReset), nullptr);
            panelWindow.resetButton = b;
            return b;
        }
        case ControlKind::kGroupBox: {
            GtkWidget* f = gtk_frame_new(c.text);
            if (c.id == IDC_COLOR_GROUP) panelWindow.colorGroup = f;
            return f;
        }
        case ControlKind::kCheckBox: {
            GtkWidget* b = gtk_check_button_new_with_label(c.text);
            const int index = JitterIndexOfCheckBox(c.id);
            panelWindow.checkBoxes[static_cast<std::size_t>(index)] = b;
            g_signal_connect(b, "toggled", G_CALLBACK(OnCheckBox), nullptr);
            return b;
        }
        case ControlKind::kValueLabel: {
            GtkWidget* l = gtk_label_new(c.text);
            gtk_label_set_justify(GTK_LABEL(l), GTK_JUSTIFY_CENTER);
            const int slot = SlotOf(c.id - IDC_LB_DENSITY + IDC_TB_DENSITY);
            if (c.id >= IDC_LB_RED) panelWindow.colorLabels[static_cast<std::size_t>(c.id - IDC_LB_RED)] = l;
            else panelWindow.paramLabels[static_cast<std::size_t>(slot)] = l;
            return l;
        }
        case ControlKind::kHelpText: {
            GtkWidget* frame = gtk_frame_new(nullptr);
            gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
            GtkWidget* l = gtk_label_new(c.text);
            gtk_label_set_xalign(GTK_LABEL(l), 0);
            gtk_label_set_yalign(GTK_LABEL(l), 0);
            gtk_label_set_line_wrap(GTK_LABEL(l), TRUE);
            gtk_label_set_line_wrap_mode(GTK_LABEL(l), PANGO_WRAP_WORD_CHAR);
            gtk_label_set_max_width_chars(GTK_LABEL(l), 30);
            gtk_container_add(GTK_CONTAINER(frame), l);
            return frame;
        }
        case ControlKind::kTicksBelow:
        case ControlKind::kPlainTrackbar: return MakeTrackbar(c);
    }
    return nullptr;
}

// Initialisation as the reference dialog does it: every slot's range and
// position (remembered for Reset), tick marks, the check boxes, the
// variation trackbars' visibility and every label.
void Initialise() {
    Quiet quiet;
    for (int slot = 0; slot < panel::kSlotCount; ++slot) {
        const panel::TrackbarSetup setup = panel::InitialSetup(slot, settings);
        GtkWidget* scale = panelWindow.trackbars[static_cast<std::size_t>(slot)];
        gtk_range_set_range(GTK_RANGE(scale), setup.min, setup.max);
        gtk_range_set_increments(GTK_RANGE(scale), 1, std::max(1, (setup.max - setup.min) / 5));
        gtk_range_set_value(GTK_RANGE(scale), setup.position);
        panelWindow.remembered[static_cast<std::size_t>(slot)] = setup.position;
        const PanelControl* control = FindControl(panel::kSlots[static_cast<std::size_t>(slot)].trackbarId);
        if (control && control->kind == ControlKind::kTicksBelow && setup.tickFrequency > 0)
            for (int v = setup.min; v <= setup.max; v += setup.tickFrequency)
                gtk_scale_add_mark(GTK_SCALE(scale), v, GTK_POS_BOTTOM, nullptr);
    }
    const auto checked = panel::InitialCheckStates(settings);
    for (int i = 0; i < kJitterCount; ++i)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(panelWindow.checkBoxes[static_cast<std::size_t>(i)]),
                                     checked[static_cast<std::size_t>(i)]);
    RefreshParamLabels();
    RefreshColorLabels();
    RefreshJitterCaptions();
}

void ApplyCss(GtkWidget* window) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kPanelCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

// The controls' rectangles in the state report follow the panel.
gboolean OnConfigured(GtkWidget*, GdkEvent*, gpointer) {
    SchedulePublishState();
    return FALSE;
}

}  // namespace

void CreatePanel() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    panelWindow.window = window;
    gtk_window_set_title(GTK_WINDOW(window), kPanelCaption);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    ApplyCss(window);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, DuToPixelsX(kPanelWidthDu), DuToPixelsY(kPanelHeightDu));
    for (const PanelControl& c : kPanelControls) {
        GtkWidget* w = MakeControl(c);
        gtk_widget_set_size_request(w, DuToPixelsX(c.width), DuToPixelsY(c.height));
        gtk_fixed_put(GTK_FIXED(fixed), w, DuToPixelsX(c.x), DuToPixelsY(c.y));
    }
    gtk_container_add(GTK_CONTAINER(window), fixed);

    Initialise();
    // Above the overlay as on Windows, where the panel is the overlay's
    // owned window; the overlay follows it down (desk.cpp).
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigured), nullptr);
    gtk_widget_realize(window);
    RequestPanelFrameExtents();
    gtk_widget_show_all(window);
    ShowVariationTrackbars();
    PlacePanel(true);
    gtk_widget_grab_focus(panelWindow.resetButton);
    SchedulePublishState();
}

void MoveSpaceTrackbar(std::uint16_t space) {
    if (!panelWindow.window) return;
    SetPosition(panel::kSpaceSlot, space);
}

void PresentPanel() {
    if (panelWindow.window) gtk_window_present(GTK_WINDOW(panelWindow.window));
}

void AddPanelState(StateReport& r) {
    if (!panelWindow.window) return;
    for (int slot = 0; slot < panel::kSlotCount; ++slot) {
        GtkWidget* w = panelWindow.trackbars[static_cast<std::size_t>(slot)];
        const std::string key = "trackbar" + std::to_string(panel::kSlots[static_cast<std::size_t>(slot)].trackbarId);
        r.Add(key, Position(slot));
        r.Add(key + ".visible", gtk_widget_get_visible(w) ? 1 : 0);
    }
    for (int i = 0; i < kJitterCount; ++i) {
        GtkWidget* b = panelWindow.checkBoxes[static_cast<std::size_t>(i)];
        const std::string key = "check" + std::to_string(panel::kCheckBoxIds[static_cast<std::size_t>(i)]);
        r.Add(key, gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(b)) ? 1 : 0);
        r.Add(key + ".text", gtk_button_get_label(GTK_BUTTON(b)));
    }
    for (int i = 0; i < panel::kParamCount; ++i)
        r.Add("label" + std::to_string(IDC_LB_DENSITY + i), gtk_label_get_text(GTK_LABEL(panelWindow.paramLabels[static_cast<std::size_t>(i)])));
    for (int i = 0; i < panel::kColorCount; ++i)
        r.Add("label" + std::to_string(IDC_LB_RED + i), gtk_label_get_text(GTK_LABEL(panelWindow.colorLabels[static_cast<std::size_t>(i)])));
    const char* caption = gtk_frame_get_label(GTK_FRAME(panelWindow.colorGroup));
    r.Add("label" + std::to_string(IDC_COLOR_GROUP), caption ? caption : "");
    r.Add("panelTitle", gtk_window_get_title(GTK_WINDOW(panelWindow.window)));

    // Where the controls are on screen, so that a test can click them: in
    // device pixels, as the pointer and the screenshots count them.
    GdkWindow* gw = gtk_widget_get_window(panelWindow.window);
    const int scale = gw ? std::max(1, gdk_window_get_scale_factor(gw)) : 1;
    auto rect = [scale](int x, int y, int w, int h) {
        return std::to_string(x * scale) + "," + std::to_string(y * scale) + "," + std::to_string(w * scale) +
               "," + std::to_string(h * scale);
    };
    int originX = 0, originY = 0;
    if (gw) gdk_window_get_origin(gw, &originX, &originY);
    r.Add("panelX", originX * scale);
    r.Add("panelY", originY * scale);
    if (gw) {
        GdkRectangle frame{};
        gdk_window_get_frame_extents(gw, &frame);
        r.Add("panelRect", rect(frame.x, frame.y, frame.width, frame.height));
        r.Add("panelWindow", static_cast<std::int64_t>(gdk_x11_window_get_xid(gw)));
    }
    auto addRect = [&](const std::string& key, GtkWidget* w) {
        GtkAllocation a{};
        gtk_widget_get_allocation(w, &a);
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(w, panelWindow.window, 0, 0, &x, &y);
        r.Add(key + ".rect", rect(originX + x, originY + y, a.width, a.height));
    };
    for (int slot = 0; slot < panel::kSlotCount; ++slot)
        addRect("trackbar" + std::to_string(panel::kSlots[static_cast<std::size_t>(slot)].trackbarId),
                panelWindow.trackbars[static_cast<std::size_t>(slot)]);
    for (int i = 0; i < kJitterCount; ++i)
        addRect("check" + std::to_string(panel::kCheckBoxIds[static_cast<std::size_t>(i)]),
                panelWindow.checkBoxes[static_cast<std::size_t>(i)]);
    addRect("reset", panelWindow.resetButton);
}

}  // namespace qv::linuxshell
