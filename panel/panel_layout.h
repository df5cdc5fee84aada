// The control panel's layout as a table: every control with its identifier,
// kind, text and place in dialog units, in template order (which is also the
// tab order). It is expanded from the same list as the dialog resource, so
// a shell without dialog resources (the GTK panel) places exactly the same
// controls.
#pragma once

#include <array>
#include <cstdint>

#include "panel_ids.h"

namespace qv::panel {

enum class ControlKind : std::uint8_t {
    kPushButton,
    kGroupBox,
    kCheckBox,
    kValueLabel,  // two centred lines: name and value
    kHelpText,    // left-aligned, sunken edge
    kTicksBelow,  // a trackbar with tick marks below
    kPlainTrackbar,
};

struct PanelControl {
    int id;
    ControlKind kind;
    const char* text;  // UTF-8; placeholders are overwritten before the panel is shown
    int x, y, width, height;  // dialog units
};

inline constexpr const char* kPanelCaption = QV_PANEL_CAPTION;
inline constexpr int kPanelWidthDu = QV_PANEL_WIDTH_DU;
inline constexpr int kPanelHeightDu = QV_PANEL_HEIGHT_DU;

inline constexpr int kPanelControlCount = 31;

#define QV_PUSHBUTTON(text, id, x, y, w, h) PanelControl{id, ControlKind::kPushButton, text, x, y, w, h},
#define QV_GROUPBOX(text, id, x, y, w, h) PanelControl{id, ControlKind::kGroupBox, text, x, y, w, h},
#define QV_VALUE_LABEL(text, id, x, y, w, h) PanelControl{id, ControlKind::kValueLabel, text, x, y, w, h},
#define QV_HELP_TEXT(text, id, x, y, w, h) PanelControl{id, ControlKind::kHelpText, text, x, y, w, h},
#define QV_CHECKBOX(text, id, x, y, w, h) PanelControl{id, ControlKind::kCheckBox, text, x, y, w, h},
#define QV_COLOR_TRACKBAR(id, x, y, w, h) PanelControl{id, ControlKind::kPlainTrackbar, "", x, y, w, h},
#define QV_PARAM_TRACKBAR(id, x, y, w, h) PanelControl{id, ControlKind::kTicksBelow, "", x, y, w, h},
#define QV_JITTER_TRACKBAR(id, x, y, w, h) PanelControl{id, ControlKind::kPlainTrackbar, "", x, y, w, h},
inline constexpr std::array<PanelControl, kPanelControlCount> kPanelControls{{
#include "panel_layout.def"
}};
#undef QV_PUSHBUTTON
#undef QV_GROUPBOX
#undef QV_VALUE_LABEL
#undef QV_HELP_TEXT
#undef QV_CHECKBOX
#undef QV_COLOR_TRACKBAR
#undef QV_PARAM_TRACKBAR
#undef QV_JITTER_TRACKBAR

// Dialog units of an 8-point dialog font: a horizontal unit is a quarter of
// its average character width, a vertical one an eighth of its height. The
// base units below are those of the usual 8-point dialog font at 96 dpi.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

constexpr int DuToPixelsX(int du) noexcept { return du * kBaseUnitX / 4; }
constexpr int DuToPixelsY(int du) noexcept { return du * kBaseUnitY / 8; }

// The table entry for a control id, or null (the three unnamed controls
// share one id and are not found this way).
constexpr const PanelControl* FindControl(int id) noexcept {
    if (id == IDC_UNNAMED) return nullptr;
    for (const auto& c : kPanelControls)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace qv::panel
