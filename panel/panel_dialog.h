// The control panel's dialog procedure and the trackbars it remembers.
#pragma once

#include <cstdint>

#include "win32.h"
#include "panel_rules.h"

namespace qv {

// One of the panel's thirteen trackbars, for the life of the process.
class TrackbarSlot {
public:
    // Range first without redrawing, then the position with a redraw; the
    // position is remembered for Restore.
    void SetUp(int minimum, int maximum, int position) noexcept;
    // Puts the trackbar back at its remembered position and returns it.
    std::int32_t Restore() noexcept;

    HWND handle = nullptr;
    std::int32_t rememberedPosition = 0;  // nothing changes it after initialisation
};

// In slot order (panel_rules.h).
extern TrackbarSlot trackbarSlots[panel::kSlotCount];

// The dialog procedure of the panel made from dialog resource IDD_PANEL.
INT_PTR CALLBACK PanelDlgProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qv
