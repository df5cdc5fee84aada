#include "control_panel.h"

namespace qv {

void CreateControlPanel(HWND /*owner*/) noexcept {
    // No panel yet: the program runs with the gestures alone.
}

}  // namespace qv
