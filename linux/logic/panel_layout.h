// The control panel's layout: every control with its identifier, kind,
// text and place in dialog units, in template order (which is also the tab
// order). The GTK panel places its widgets from this table; the Win32 panel
// has the same table as its dialog resource.
#pragma once

#include <array>
#include <cstdint>

#include "panel_ids.h"

namespace qv::linuxshell {

enum class ControlKind : std::uint8_t {
    kPushButton,
    kGroupBox,
    kCheckBox,
    kValueLabel,  // two centred lines: name and value
    kHelpText,    // left-aligned, sunken edge
    kTicksBelow,  // a trackbar with tick marks below
    kPlainTrackbar,
};

struct ControlSpec {
    int id;
    ControlKind kind;
    const char* text;  // UTF-8; placeholders are overwritten before the panel is shown
    int x, y, width, height;  // dialog units
};

inline constexpr const char* kPanelCaption = "表示設定 - Quorvane ";  // the trailing blank is part of it
inline constexpr int kPanelWidthDu = 410;
inline constexpr int kPanelHeightDu = 223;

inline constexpr const char* kHelpText =
    "左Ctrl+マウス操作で中心位置が変わります。\r\n"
    "左Ctrl+ALTキー押下で表示/非表示を切り替えます。\r\n"
    "左Ctrl+左Shiftで再描画します。\r\n"
    "左Ctrl+ホイールで中心円サイズが変わります。\r\n"
    "(マウスに追随しなくなった場合は、リセットをしてください)";

inline constexpr int kPanelControlCount = 31;

inline constexpr std::array<ControlSpec, kPanelControlCount> kPanelControls{{
    {IDC_RESET, ControlKind::kPushButton, "リセット", 223, 188, 180, 28},
    {IDC_COLOR_GROUP, ControlKind::kGroupBox, "色設定", 7, 137, 209, 79},
    {IDC_TB_RED, ControlKind::kPlainTrackbar, "", 28, 147, 180, 15},
    {IDC_LB_RED, ControlKind::kValueLabel, "R\r\n255", 13, 147, 16, 16},
    {IDC_TB_GREEN, ControlKind::kPlainTrackbar, "", 28, 164, 180, 15},
    {IDC_LB_GREEN, ControlKind::kValueLabel, "G\r\n255", 13, 164, 16, 16},
    {IDC_TB_BLUE, ControlKind::kPlainTrackbar, "", 28, 181, 180, 15},
    {IDC_LB_BLUE, ControlKind::kValueLabel, "B\r\n255", 13, 181, 16, 16},
    {IDC_TB_ALPHA, ControlKind::kPlainTrackbar, "", 28, 198, 180, 15},
    {IDC_LB_ALPHA, ControlKind::kValueLabel, "A\r\n255", 13, 198, 16, 16},
    {IDC_UNNAMED, ControlKind::kGroupBox, "表示パラメータ", 7, 7, 396, 88},
    {IDC_LB_DENSITY, ControlKind::kValueLabel, "密度\r\n9999", 15, 18, 19, 16},
    {IDC_TB_DENSITY, ControlKind::kTicksBelow, "", 34, 18, 361, 16},
    {IDC_LB_THICKNESS, ControlKind::kValueLabel, "太さ\r\n9999", 15, 37, 19, 16},
    {IDC_TB_THICKNESS, ControlKind::kTicksBelow, "", 34, 36, 361, 16},
    {IDC_LB_SPACE, ControlKind::kValueLabel, "空間\r\n9999", 15, 55, 19, 16},
    {IDC_TB_SPACE, ControlKind::kTicksBelow, "", 34, 54, 361, 16},
    {IDC_LB_RATIO, ControlKind::kValueLabel, "比率\r\n9999", 15, 73, 19, 16},
    {IDC_TB_RATIO, ControlKind::kTicksBelow, "", 34, 72, 361, 16},
    {IDC_UNNAMED, ControlKind::kHelpText, kHelpText, 223, 141, 180, 44},
    {IDC_CB_DENSITY_JITTER, ControlKind::kCheckBox, "密度 (999%)", 11, 110, 72, 8},
    {IDC_CB_THICKNESS_JITTER, ControlKind::kCheckBox, "太さ (999%)", 89, 110, 64, 8},
    {IDC_CB_SPACE_JITTER, ControlKind::kCheckBox, "空間 (999%)", 168, 110, 72, 8},
    {IDC_CB_ALPHA_JITTER, ControlKind::kCheckBox, "透明度 (999%)", 247, 110, 65, 8},
    {IDC_UNNAMED, ControlKind::kGroupBox, "ばらつき度の設定\u3000(※グラデーションは重い)", 7, 97, 396, 37},
    {IDC_CB_BLUR, ControlKind::kCheckBox, "ぼかし (999%)", 326, 110, 60, 8},
    {IDC_TB_DENSITY_JITTER, ControlKind::kPlainTrackbar, "", 8, 119, 78, 13},
    {IDC_TB_THICKNESS_JITTER, ControlKind::kPlainTrackbar, "", 86, 119, 78, 13},
    {IDC_TB_SPACE_JITTER, ControlKind::kPlainTrackbar, "", 165, 119, 78, 13},
    {IDC_TB_ALPHA_JITTER, ControlKind::kPlainTrackbar, "", 244, 119, 78, 13},
    {IDC_TB_BLUR, ControlKind::kPlainTrackbar, "", 323, 119, 78, 13},
}};

// Dialog units of an 8-point dialog font: a horizontal unit is a quarter of
// its average character width, a vertical one an eighth of its height. The
// base units below are those of the usual 8-point dialog font at 96 dpi.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

constexpr int DuToPixelsX(int du) noexcept { return du * kBaseUnitX / 4; }
constexpr int DuToPixelsY(int du) noexcept { return du * kBaseUnitY / 8; }

// The table entry for a control id, or null (the three unnamed controls
// share one id and are not found this way).
constexpr const ControlSpec* FindControl(int id) noexcept {
    if (id == IDC_UNNAMED) return nullptr;
    for (const auto& c : kPanelControls)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace qv::linuxshell
