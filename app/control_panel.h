// The control panel, created once by start-up with the overlay as owner.
#pragma once

#include "win32.h"

namespace qv {

void CreateControlPanel(HWND owner) noexcept;

}  // namespace qv
