// The control panel's dialog: its procedure, the trackbars it remembers,
// and its creation. The panel owns none of what it changes: the program
// hands it the settings, the random source, the slot table and the two
// windows it works with as PanelParts.
#pragma once

#include <array>
#include <cstdint>

#include "effect_settings.h"
#include "panel_rules.h"
#include "random_source.h"
#include "win32.h"

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
using TrackbarSlots = std::array<TrackbarSlot, panel::kSlotCount>;

// Everything the panel reads and writes outside its own controls, owned by
// the program.
struct PanelParts {
    EffectSettings& settings;  // every control writes its field here
    RandomSource& random;      // given the four jitter percentages after every change of them
    TrackbarSlots& slots;
    HWND& overlayWindow;  // sent WM_APP_REDRAW after every change
    HWND& spaceTrackbar;  // set to the space trackbar, which the wheel gesture moves
    // Reset: both input hooks taken out and put back in, which brings back
    // one the system dropped.
    void (*reinstallHooks)() noexcept;
};

// Creates the modeless panel from dialog resource IDD_PANEL, visible from
// the start, with the parts it works on; they must outlive it. Null when it
// cannot be made.
HWND CreateControlPanel(HWND owner, const PanelParts& parts) noexcept;

// The dialog procedure of the panel; its parts come with WM_INITDIALOG.
INT_PTR CALLBACK PanelDlgProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qv
