#include "control_panel.h"

#include "panel_dialog.h"
#include "panel_ids.h"

namespace qv {

void CreateControlPanel(HWND owner) noexcept {
    // Modeless and visible from its creation; nobody keeps the handle, and a
    // panel that cannot be made leaves the program running on its gestures.
    CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PANEL), owner, PanelDlgProc, 0);
}

}  // namespace qv
